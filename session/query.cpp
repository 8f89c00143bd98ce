// Query: the search operation. The attribute list becomes the ordered column names, the
// search carries its own size and time limits, and the response becomes a result tree
// read through the Query collection. Success is the only thing that clears IsError.
#include <new>

#include "results/query_objects.h"
#include "results/result_builder.h"
#include "session/attribute_list.h"
#include "session/connection.h"
#include "session/ldap_object.h"
#include "session/operation.h"

namespace quillon {

namespace {

constexpr char kNoMatchMessage[] = "No match result found";

// The names as the library wants them: trimmed copies and a final null pointer.
class AttributeArray {
 public:
  explicit AttributeArray(const std::vector<std::string>& names, const CodePage& cp) {
    for (const std::string& n : names) copies_.emplace_back(TrimWhite(n, cp));
    for (std::string& c : copies_) pointers_.push_back(c.data());
    pointers_.push_back(nullptr);
  }
  PCHAR* Get() { return pointers_.data(); }

 private:
  std::vector<std::string> copies_;
  std::vector<PCHAR> pointers_;
};

// The search with the limits sent in the request itself: some libraries ignore the
// session's limits for plain searches. The time limit also bounds the client's wait.
ULONG Search(LDAP* ld, const LdapFields& f, const std::string& base, PCHAR* attrs,
             LdapResponse* response) {
  l_timeval limit{f.timeout, 0};
  const ULONG size_limit = f.max_rows > 0 ? static_cast<ULONG>(f.max_rows) : 0;
  return Ldap().search_ext_s(ld, const_cast<PCHAR>(base.c_str()), static_cast<ULONG>(f.scope),
                             const_cast<PCHAR>(f.filter.c_str()), attrs, 0, nullptr, nullptr,
                             f.timeout >= 1 ? &limit : nullptr, size_limit, response->Put());
}

}  // namespace

STDMETHODIMP CLdap::Query(VARIANT* result) {
  if (!result) return E_POINTER;
  VariantInit(result);
  ComPtr<IDispatch> collection;
  GuardedOperation(f_, [&] {
    RunOperation(
        f_, {kOpQuery, "Please specify valid Start DN"},
        [this, &collection](LDAP* ld, const std::string& base) -> ULONG {
          const CodePage cp;
          std::vector<std::string> names;
          const bool listed = !f_.attributes.empty();
          if (listed) SplitAttributeList(f_.attributes, ';', f_.sort, &names, cp);
          AttributeArray attrs(names, cp);
          LdapResponse response;
          const ULONG rc = Search(ld, f_, base, listed ? attrs.Get() : nullptr, &response);
          if (rc != 0) return rc;  // a partial response is freed by its owner
          const ULONG count =
              response ? Ldap().count_entries(ld, response.Get()) : static_cast<ULONG>(-1);
          if (count == static_cast<ULONG>(-1)) return static_cast<ULONG>(-1);
          if (!listed) {
            if (count == 0) {
              f_.SetError(kNoMatchMessage);
              return 0;
            }
            CollectAttributeNames(ld, response.Get(), f_.sort, &names, cp);
          } else if (std::find(names.begin(), names.end(), f_.sort) == names.end()) {
            // No listed name is exactly the sort name: sorting stays off until
            // the page sets Sort again.
            f_.sort.clear();
          }
          const SortOrder order{f_.sort, f_.sort_ascending != 0, f_.sort_case_sensitive != 0};
          SharedResultTree tree = BuildQueryResult(ld, response.Get(), names, order, cp);
          if (FAILED(FillQueryCollection(tree, collection.Put()))) return LDAP_NO_MEMORY;
          f_.result_tree = std::move(tree);
          f_.is_error = 0;
          return 0;
        });
  });
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = collection.Detach();
  return S_OK;
}

}  // namespace quillon
