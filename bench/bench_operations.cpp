// Per-operation cost against a real directory: Add, Modify, ModifyDN, a small Query and
// Delete through the component, against the same sequence of direct LDAP library calls
// (open, limits, bind, the request, unbind). The two alternate, so that both see the same
// machine load; each prints the mean time per operation and the ratio. Then ten one-entry
// Queries on one object with KeepConnection against the same without, alternating.
// Usage: bench_operations.exe <host> <port> [cycles]
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "module/bstr.h"
#include "module/com_ptr.h"
#include "module/quillon_app.h"
#include "module/variant.h"
#include "session/ldap_handles.h"
#include "session/ldap_object.h"

using namespace quillon;

namespace {

using Clock = std::chrono::steady_clock;
const char* g_host;
long g_port;
constexpr const char* kOperations[] = {"Add", "Modify", "ModifyDN", "Query", "Delete"};
double g_component[5], g_direct[5];

std::wstring Wide(const std::string& s) {
  return std::wstring(s.begin(), s.end());
}

ComPtr<ILdap> Connect(const std::string& cn) {
  ComPtr<ILdap> ldap;
  CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid());
  ldap->put_ServerName(Bstr(Wide(g_host).c_str()).Get());
  ldap->put_Port(g_port);
  ldap->put_UserName(Bstr(L"cn=admin,dc=example,dc=com").Get());
  ldap->put_Password(Bstr(L"secret").Get());
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"com").Get());
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"example").Get());
  ldap->DN(Bstr(L"ou").Get(), Bstr(L"Ops").Get());
  if (!cn.empty()) ldap->DN(Bstr(L"cn").Get(), Bstr(Wide(cn).c_str()).Get());
  return ldap;
}

void Stage(ILdap* ldap, const wchar_t* name, const std::string& value, bool modify) {
  Variant v;
  V_VT(v.Get()) = VT_BSTR;
  V_BSTR(v.Get()) = SysAllocString(Wide(value).c_str());
  if (modify) {
    ldap->AttributeModify(Bstr(name).Get(), *v.Get(), -1, 0);
  } else {
    ldap->AttributeAdd(Bstr(name).Get(), *v.Get(), -1);
  }
}

void Check(ILdap* ldap, const char* what) {
  SHORT error = 0;
  ldap->get_IsError(&error);
  if (error) {
    Bstr reason;
    ldap->get_ErrorReason(reason.Put());
    fprintf(stderr, "%s failed: %ls\n", what, reason.Get());
    exit(1);
  }
}

template <class F>
void Time(double* total, F f) {
  const auto start = Clock::now();
  f();
  *total += std::chrono::duration<double>(Clock::now() - start).count();
}

void ComponentCycle(int i) {
  const std::string cn = "c" + std::to_string(i);
  Time(&g_component[0], [&] {
    ComPtr<ILdap> l = Connect(cn);
    Stage(l.Get(), L"objectClass", "person", false);
    Stage(l.Get(), L"cn", cn, false);
    Stage(l.Get(), L"sn", "first", false);
    l->Add();
    Check(l.Get(), "Add");
  });
  Time(&g_component[1], [&] {
    ComPtr<ILdap> l = Connect(cn);
    Stage(l.Get(), L"sn", "second", true);
    l->Modify();
    Check(l.Get(), "Modify");
  });
  Time(&g_component[2], [&] {
    ComPtr<ILdap> l = Connect(cn);
    l->NewRDN(Bstr(L"cn").Get(), Bstr(Wide(cn + "r").c_str()).Get());
    l->ModifyDN();
    Check(l.Get(), "ModifyDN");
  });
  Time(&g_component[3], [&] {
    ComPtr<ILdap> l = Connect("");
    l->put_Filter(Bstr(Wide("(cn=" + cn + "r)").c_str()).Get());
    l->put_Attributes(Bstr(L"cn;sn").Get());
    Variant result;
    l->Query(result.Get());
    Check(l.Get(), "Query");
  });
  Time(&g_component[4], [&] {
    ComPtr<ILdap> l = Connect(cn + "r");
    l->Delete();
    Check(l.Get(), "Delete");
  });
}

// The direct client: what a page would have to write without the component.
template <class Request>
ULONG Direct(Request request) {
  LdapSession ld(quillon::Ldap().open(const_cast<PCHAR>(g_host), static_cast<ULONG>(g_port)));
  ULONG rc = quillon::Ldap().simple_bind_s(
      ld.Get(), const_cast<PCHAR>("cn=admin,dc=example,dc=com"), const_cast<PCHAR>("secret"));
  if (rc == 0) rc = request(ld.Get());
  if (rc) {
    fprintf(stderr, "direct call failed: %lu\n", rc);
    exit(1);
  }
  return rc;
}

void DirectCycle(int i) {
  const std::string cn = "d" + std::to_string(i);
  const std::string dn = "cn=" + cn + ",ou=Ops,dc=example,dc=com";
  const std::string renamed = "cn=" + cn + "r,ou=Ops,dc=example,dc=com";
  Time(&g_direct[0], [&] {
    Direct([&](LDAP* ld) {
      PCHAR oc[] = {const_cast<PCHAR>("person"), nullptr};
      PCHAR cnv[] = {const_cast<PCHAR>(cn.c_str()), nullptr};
      PCHAR snv[] = {const_cast<PCHAR>("first"), nullptr};
      LDAPModA m1{LDAP_MOD_ADD, const_cast<PCHAR>("objectClass"), {oc}};
      LDAPModA m2{LDAP_MOD_ADD, const_cast<PCHAR>("cn"), {cnv}};
      LDAPModA m3{LDAP_MOD_ADD, const_cast<PCHAR>("sn"), {snv}};
      LDAPModA* mods[] = {&m1, &m2, &m3, nullptr};
      return quillon::Ldap().add_s(ld, const_cast<PCHAR>(dn.c_str()), mods);
    });
  });
  Time(&g_direct[1], [&] {
    Direct([&](LDAP* ld) {
      PCHAR snv[] = {const_cast<PCHAR>("second"), nullptr};
      LDAPModA m{LDAP_MOD_REPLACE, const_cast<PCHAR>("sn"), {snv}};
      LDAPModA* mods[] = {&m, nullptr};
      return quillon::Ldap().modify_s(ld, const_cast<PCHAR>(dn.c_str()), mods);
    });
  });
  Time(&g_direct[2], [&] {
    Direct([&](LDAP* ld) {
      const std::string rdn = "cn=" + cn + "r";
      return quillon::Ldap().modrdn2_s(ld, const_cast<PCHAR>(dn.c_str()),
                                       const_cast<PCHAR>(rdn.c_str()), 1);
    });
  });
  Time(&g_direct[3], [&] {
    Direct([&](LDAP* ld) {
      const std::string filter = "(cn=" + cn + "r)";
      PCHAR attrs[] = {const_cast<PCHAR>("cn"), const_cast<PCHAR>("sn"), nullptr};
      LdapResponse response;
      const ULONG rc = quillon::Ldap().search_ext_s(
          ld, const_cast<PCHAR>("ou=Ops,dc=example,dc=com"), 1, const_cast<PCHAR>(filter.c_str()),
          attrs, 0, nullptr, nullptr, nullptr, 0, response.Put());
      for (LDAPMessage* e = quillon::Ldap().first_entry(ld, response.Get()); e;
           e = quillon::Ldap().next_entry(ld, e)) {
        LdapValues values(quillon::Ldap().get_values_len(ld, e, attrs[0]));
      }
      return rc;
    });
  });
  Time(&g_direct[4], [&] {
    Direct(
        [&](LDAP* ld) { return quillon::Ldap().delete_s(ld, const_cast<PCHAR>(renamed.c_str())); });
  });
}

// Ten one-entry Queries on one object, its connection kept or opened for each; the mean
// time per Query.
double TenQueries(bool keep) {
  ComPtr<ILdap> l = Connect("");
  ComPtr<ILdap3> l3;
  l.As(IID_ILdap3, &l3);
  l3->put_KeepConnection(keep ? 1 : 0);
  l->put_Filter(Bstr(L"(cn=kept)").Get());
  l->put_Attributes(Bstr(L"cn;sn").Get());
  double total = 0;
  for (int q = 0; q < 10; ++q) {
    Time(&total, [&] {
      Variant result;
      l->Query(result.Get());
      Check(l.Get(), "Query");
    });
  }
  return total / 10;
}

void KeptQueries(int rounds) {
  ComPtr<ILdap> entry = Connect("kept");
  Stage(entry.Get(), L"objectClass", "person", false);
  Stage(entry.Get(), L"cn", "kept", false);
  Stage(entry.Get(), L"sn", "kept", false);
  entry->Add();
  Check(entry.Get(), "Add");
  double kept = 0, opened = 0;
  for (int i = 0; i < rounds; ++i) {
    kept += TenQueries(true);
    opened += TenQueries(false);
  }
  printf(
      "Query x10 on one object: KeepConnection %7.3f ms   a connection each %7.3f ms   "
      "ratio %5.2f\n",
      kept / rounds * 1e3, opened / rounds * 1e3, opened / kept);
  entry->Delete();
  Check(entry.Get(), "Delete");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s <host> <port> [cycles]\n", argv[0]);
    return 2;
  }
  g_host = argv[1];
  g_port = atol(argv[2]);
  const int cycles = argc > 3 ? atoi(argv[3]) : 200;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  theApp.InitInstance(GetModuleHandleW(nullptr));
  ComponentCycle(-1);  // warm-up: the type library, the LDAP library, the sockets
  DirectCycle(-1);
  for (double& t : g_component) t = 0;
  for (double& t : g_direct) t = 0;
  for (int i = 0; i < cycles; ++i) {
    ComponentCycle(i);
    DirectCycle(i);
  }
  for (int op = 0; op < 5; ++op) {
    printf("%-9s component %7.3f ms   direct %7.3f ms   ratio %5.2f\n", kOperations[op],
           g_component[op] / cycles * 1e3, g_direct[op] / cycles * 1e3,
           g_component[op] / g_direct[op]);
  }
  KeptQueries(cycles / 10 > 0 ? cycles / 10 : 1);
  theApp.ExitInstance();
  CoUninitialize();
  return 0;
}
