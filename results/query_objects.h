// The four result classes a script walks after a search:
//   Query            one QueryEntries per column, in column order;
//   QueryEntries     one column: its attribute name, and ValuesList, a new QuerySub;
//   QuerySub         one QueryEntriesSub per row, in row order;
//   QueryEntriesSub  the values of one attribute in one entry, and their sizes.
// QueryEntries and QueryEntriesSub point into the shared result tree and keep it alive.
#pragma once

#include "module/com_object.h"
#include "quillon.h"
#include "results/collection.h"
#include "results/result_tree.h"

namespace quillon {

// The search's collection answers IQuery and IQuery2, which adds Column; IDispatch
// serves IQuery2, and its default member takes a column's name as well as an index.
class CQuery : public CollectionImpl<IQuery2, &IID_IQuery2>,
               public SupportErrorInfoImpl<&IID_IQuery, &IID_IQuery2> {
 public:
  static const InterfaceEntry kInterfaces[];
  explicit CQuery(SharedResultTree tree) : tree_(std::move(tree)) {}

  STDMETHODIMP Column(BSTR name, IDispatch** column) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

 private:
  SharedResultTree tree_;  // the columns' names, in item order
};

class CQuerySub : public CollectionImpl<IQuerySub, &IID_IQuerySub> {
 public:
  static const InterfaceEntry kInterfaces[];
};

class CQueryEntries : public DispatchImpl<IQueryEntries, &IID_IQueryEntries>,
                      public SupportErrorInfoImpl<&IID_IQueryEntries> {
 public:
  static const InterfaceEntry kInterfaces[];
  CQueryEntries(SharedResultTree tree, const ResultColumn* column)
      : tree_(std::move(tree)), column_(column) {}

  STDMETHODIMP get_Attributes(BSTR* name) override;
  STDMETHODIMP ValuesList(VARIANT* rows) override;

 private:
  SharedResultTree tree_;
  const ResultColumn* column_;
};

// The row object answers its first interface and the one that adds Bytes; IDispatch
// serves the second, which holds every member.
class CQueryEntriesSub : public DispatchImpl<IQueryEntriesSub2, &IID_IQueryEntriesSub2> {
 public:
  static const InterfaceEntry kInterfaces[];
  CQueryEntriesSub(SharedResultTree tree, CellValues values)
      : tree_(std::move(tree)), values_(values) {}

  STDMETHODIMP get_Value(VARIANT* values) override;
  STDMETHODIMP ValueSize(VARIANT* sizes) override;
  STDMETHODIMP get_Bytes(VARIANT* values) override;

 protected:
  bool ReadDirectly(DISPID id, const DISPPARAMS& params, VARIANT* result) override;

 private:
  SharedResultTree tree_;
  CellValues values_;
};

// A new Query collection with one QueryEntries item per column of tree.
HRESULT FillQueryCollection(const SharedResultTree& tree, IDispatch** collection);

}  // namespace quillon
