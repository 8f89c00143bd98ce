// Query: the search operation. The attribute list becomes the ordered column names, the
// search carries its own size and time limits, and the response becomes a result tree
// read through the Query collection. Success is the only thing that clears IsError.
// With PageSize the search is read a page at a time (RFC 2696) and the pages together
// give the same result as one plain search would, sorted over all of them.
#include <algorithm>
#include <chrono>
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

using Clock = std::chrono::steady_clock;

// The search as sent; a paged search sends it once per page, with the page control.
struct SearchRequest {
  LDAP* ld;
  const LdapFields& f;
  const std::string& base;
  PCHAR* attrs;
};

// The search with the limits sent in the request itself: some libraries ignore the
// session's limits for plain searches. The time limit also bounds the client's wait.
ULONG Search(const SearchRequest& r, PLDAPControlA* controls, const l_timeval* limit,
             LdapResponse* response) {
  const ULONG size_limit = r.f.max_rows > 0 ? static_cast<ULONG>(r.f.max_rows) : 0;
  return Ldap().search_ext_s(r.ld, const_cast<PCHAR>(r.base.c_str()), static_cast<ULONG>(r.f.scope),
                             const_cast<PCHAR>(r.f.filter.c_str()), r.attrs, 0, controls, nullptr,
                             const_cast<l_timeval*>(limit), size_limit, response->Put());
}

// Adds a page's entries to the count; false when the library cannot count them.
bool CountPage(LDAP* ld, const LdapResponse& page, ULONG* total) {
  const ULONG count = page ? Ldap().count_entries(ld, page.Get()) : static_cast<ULONG>(-1);
  if (count == static_cast<ULONG>(-1)) return false;
  *total += count;
  return true;
}

// With Partial, a search cut short by a size limit (MaxRows or the server's own) keeps
// the entries that arrived: the size limit code then only marks the result truncated.
bool KeepsPartial(const LdapFields& f, ULONG rc) {
  return rc == LDAP_SIZELIMIT_EXCEEDED && f.partial != 0;
}

ULONG SearchOnce(const SearchRequest& r, std::vector<LdapResponse>* pages, ULONG* total) {
  l_timeval limit{r.f.timeout, 0};
  pages->emplace_back();
  const ULONG rc = Search(r, nullptr, r.f.timeout >= 1 ? &limit : nullptr, &pages->back());
  if (rc != 0 && !KeepsPartial(r.f, rc)) return rc;  // a partial response is freed by its owner
  return CountPage(r.ld, pages->back(), total) ? rc : static_cast<ULONG>(-1);
}

// The cookie the server sent with a page: empty when the search is complete, and also
// when the server ignored the (non-critical) page control, as one without paging does;
// its one response is then the whole result of a plain search.
ULONG NextCookie(LDAP* ld, LDAPMessage* page, LdapCookie* cookie) {
  ULONG result_rc = 0;
  LdapControls controls;
  const ULONG rc =
      Ldap().parse_result(ld, page, &result_rc, nullptr, nullptr, nullptr, controls.Put(), FALSE);
  if (rc != 0) return rc;
  if (result_rc != 0) return result_rc;
  if (!controls) return 0;
  ULONG estimate = 0;
  // No page control among the response's controls leaves the cookie empty.
  Ldap().parse_page_control(ld, controls.Get(), &estimate, cookie->Put());
  return 0;
}

// Page after page until the server's cookie comes back empty. MaxRows caps the total
// and Timeout the whole search, as they do for one plain search.
ULONG SearchPaged(const SearchRequest& r, std::vector<LdapResponse>* pages, ULONG* total) {
  const auto deadline = Clock::now() + std::chrono::seconds(r.f.timeout);
  LdapCookie cookie;
  do {
    // A partial search asks for no more than MaxRows in all; once it has them, a page of
    // one entry, read and dropped, tells whether more matched.
    ULONG size = static_cast<ULONG>(r.f.page_size);
    const bool capped = r.f.partial != 0 && r.f.max_rows > 0;
    const ULONG room = capped ? static_cast<ULONG>(r.f.max_rows) - *total : size;
    const bool probe = capped && room == 0;
    if (capped) size = probe ? 1 : std::min(size, room);
    LdapControl control;
    ULONG rc = Ldap().create_page_control(r.ld, size, cookie.Get(), FALSE, control.Put());
    if (rc != 0) return rc;
    PLDAPControlA controls[] = {control.Get(), nullptr};
    l_timeval limit{};
    if (r.f.timeout >= 1) {
      const auto left =
          std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
      if (left <= 0) return LDAP_TIMEOUT;
      limit = {static_cast<LONG>(left / 1000000), static_cast<LONG>(left % 1000000)};
    }
    pages->emplace_back();
    LdapResponse& page = pages->back();
    rc = Search(r, controls, r.f.timeout >= 1 ? &limit : nullptr, &page);
    if (probe) {
      ULONG more = 0;
      const bool counted = rc == 0 && CountPage(r.ld, page, &more);
      pages->pop_back();
      return counted && more == 0 ? 0 : LDAP_SIZELIMIT_EXCEEDED;
    }
    if (rc != 0 && !KeepsPartial(r.f, rc)) return rc;
    if (!CountPage(r.ld, page, total)) return static_cast<ULONG>(-1);
    if (rc != 0) return rc;
    // More than MaxRows is the plain search's size limit; the unbind ends the server's
    // side of the paged search.
    if (r.f.max_rows > 0 && *total > static_cast<ULONG>(r.f.max_rows)) {
      return LDAP_SIZELIMIT_EXCEEDED;
    }
    rc = NextCookie(r.ld, page.Get(), &cookie);
    if (rc != 0) return rc;
  } while (cookie && cookie.Get()->bv_len > 0);
  return 0;
}

}  // namespace

STDMETHODIMP CLdap::Query(VARIANT* result) {
  if (!result) return E_POINTER;
  VariantInit(result);
  ComPtr<IDispatch> collection;
  f_.truncated = 0;
  GuardedOperation(f_, [&] {
    RunOperation(
        f_, {kOpQuery, "Please specify valid Start DN"},
        [this, &collection](LDAP* ld, const std::string& base) -> ULONG {
          const CodePage cp = TextCodePage();
          std::vector<std::string> names;
          const bool listed = !f_.attributes.empty();
          if (listed) SplitAttributeList(f_.attributes, ';', f_.sort, &names, cp);
          AttributeArray attrs(names, cp);
          const SearchRequest request{ld, f_, base, listed ? attrs.Get() : nullptr};
          std::vector<LdapResponse> pages;
          ULONG count = 0;
          const ULONG rc = f_.page_size > 0 ? SearchPaged(request, &pages, &count)
                                            : SearchOnce(request, &pages, &count);
          if (rc != 0 && !KeepsPartial(f_, rc)) return rc;
          f_.truncated = rc != 0;
          Responses responses;
          for (const LdapResponse& page : pages) responses.push_back(page.Get());
          if (!listed) {
            if (count == 0) {
              f_.SetError(kNoMatchMessage);
              return 0;
            }
            CollectAttributeNames(ld, responses, f_.sort, &names, cp);
          } else if (std::find(names.begin(), names.end(), f_.sort) == names.end()) {
            // No listed name is exactly the sort name: sorting stays off until
            // the page sets Sort again.
            f_.sort.clear();
          }
          const SortOrder order{f_.sort, f_.sort_ascending != 0, f_.sort_case_sensitive != 0};
          SharedResultTree tree = BuildQueryResult(ld, responses, names, order, cp);
          if (FAILED(FillQueryCollection(tree, collection.Put()))) return LDAP_NO_MEMORY;
          f_.result_tree = std::move(tree);
          f_.is_error = 0;
          f_.error_code = 0;
          return 0;
        });
  });
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = collection.Detach();
  return S_OK;
}

}  // namespace quillon
