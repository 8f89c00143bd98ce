// DN and NewRDN: a page names an entry one component at a time, from the top of the tree
// down, and names the new relative name of a rename. Nothing is escaped or checked;
// blank arguments change nothing and report nothing.
#include "module/ansi_text.h"
#include "module/com_boundary.h"
#include "session/ldap_object.h"

namespace quillon {

namespace {

// "attribute=value" from two trimmed texts, or empty when either trims to nothing.
std::string Component(BSTR attribute, BSTR value) {
  const CodePage cp = TextCodePage();
  const std::string a = ToText(attribute);
  const std::string v = ToText(value);
  const std::string_view ta = TrimWhite(a, cp);
  const std::string_view tv = TrimWhite(v, cp);
  if (ta.empty() || tv.empty()) return {};
  std::string component(ta);
  component += '=';
  component += tv;
  return component;
}

}  // namespace

STDMETHODIMP CLdap::DN(BSTR attribute, BSTR value) {
  return GuardedMember([&] {
    const std::string component = Component(attribute, value);
    if (!component.empty()) f_.dn = "," + component + f_.dn;
    return S_OK;
  });
}

STDMETHODIMP CLdap::NewRDN(BSTR attribute, BSTR value) {
  return GuardedMember([&] {
    std::string component = Component(attribute, value);
    if (!component.empty()) f_.new_rdn = std::move(component);
    return S_OK;
  });
}

}  // namespace quillon
