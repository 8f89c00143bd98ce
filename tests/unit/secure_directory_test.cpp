// Paging and encryption through the real wldap32 against a slapd that refuses anything
// not encrypted, limits plain searches to 500 entries and holds 2,000 under ou=Many
// (tests/support/slapd.sh --tls --limits). The limits do not apply to the manager, so
// the searches that must meet them bind as a normal user.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "module/ansi_text.h"
#include "module/variant.h"
#include "results/result_tree.h"
#include "session/connection.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::FieldsOf;

std::string ReadPort(const char* name) {
  const char* dir = std::getenv("QUILLON_SECURE_SLAPD_DIR");
  std::string port;
  if (dir) std::ifstream(std::string(dir) + "/" + name) >> port;
  return port;
}

class SecureDirectoryTest : public testing::Test {
 protected:
  void SetUp() override {
    port_ = ReadPort("port");
    tls_port_ = ReadPort("tls-port");
    if (port_.empty() || tls_port_.empty()) {
      GTEST_SKIP() << "QUILLON_SECURE_SLAPD_DIR names no directory";
    }
  }
  // A new object searching ou=Many for every cn, sorted by sn, through Encryption.
  // ou names the base below the suffix; null searches from the suffix.
  ComPtr<ILdap2> Searcher(const wchar_t* encryption, bool manager = false,
                          const wchar_t* ou = L"Many") const {
    ComPtr<ILdap> ldap = test::NewLdap();
    ComPtr<ILdap2> ldap2;
    ldap.As(IID_ILdap2, &ldap2);
    ldap2->put_ServerName(Bstr(L"127.0.0.1").Get());
    const bool ldaps = std::wstring(encryption) == L"ldaps";
    ldap2->put_Port(std::stol(ldaps ? tls_port_ : port_));
    ldap2->put_Encryption(Bstr(encryption).Get());
    ldap2->put_UserName(
        Bstr(manager ? L"cn=admin,dc=example,dc=com" : L"cn=reader,dc=example,dc=com").Get());
    ldap2->put_Password(Bstr(manager ? L"secret" : L"reader-secret").Get());
    for (const wchar_t* dc : {L"com", L"example"}) ldap2->DN(Bstr(L"dc").Get(), Bstr(dc).Get());
    if (ou) ldap2->DN(Bstr(L"ou").Get(), Bstr(ou).Get());
    ldap2->put_Attributes(Bstr(L"sn;cn").Get());
    ldap2->put_Sort(Bstr(L"sn").Get());
    return ldap2;
  }
  // Runs Query; every row as "sn cn", or the error text.
  static std::vector<std::string> Rows(const ComPtr<ILdap2>& ldap) {
    Variant result;
    ldap->Query(result.Get());
    const LdapFields& f = static_cast<CLdap*>(ldap.Get())->Fields();
    if (!V_DISPATCH(result.Get())) return {f.error_reason};
    std::vector<std::string> rows;
    const ResultTree& tree = *f.result_tree;
    for (size_t r = 0; r < tree.columns[0].cells.size(); ++r) {
      std::string row;
      for (const ResultColumn& c : tree.columns) {
        for (const ResultValue& v : c.ValuesOf(c.cells[r])) row += std::string(v.Text()) + " ";
      }
      rows.push_back(row);
    }
    return rows;
  }

  std::string port_, tls_port_;
};

const std::string kSizeLimit = "Size Limit Exceeded";

TEST_F(SecureDirectoryTest, PagesReadPastTheServersLimitInThePlainOrder) {
  const std::vector<std::string> all = Rows(Searcher(L"ldaps", true));
  ASSERT_EQ(all.size(), 2000u) << all[0];
  ComPtr<ILdap2> reader = Searcher(L"starttls");
  EXPECT_EQ(Rows(reader), std::vector<std::string>{kSizeLimit});
  reader->put_PageSize(500);
  EXPECT_EQ(Rows(reader), all) << "sorted over all pages exactly as one plain search";
  reader->put_PageSize(5000);
  EXPECT_EQ(Rows(reader).size(), 2000u);
  reader->put_PageSize(500);
  reader->put_MaxRows(1000);
  EXPECT_EQ(Rows(reader), std::vector<std::string>{kSizeLimit});
}

// Partial keeps the entries that arrived when the server's own limit or MaxRows cuts a
// plain or a paged search, sorted as usual, and Truncated tells.
TEST_F(SecureDirectoryTest, PartialKeepsWhatArrivedWhenALimitCutsTheSearch) {
  ComPtr<ILdap2> reader = Searcher(L"starttls");
  ComPtr<ILdap3> reader3;
  ASSERT_EQ(reader.As(IID_ILdap3, &reader3), S_OK);
  reader3->put_Partial(1);
  const LdapFields& f = static_cast<CLdap*>(reader.Get())->Fields();
  auto by_sn = [](const std::string& a, const std::string& b) {
    return a.substr(0, a.find(' ')) < b.substr(0, b.find(' '));
  };
  struct Case {
    LONG page_size;
    ULONG max_rows;
    size_t rows;
    long truncated;
  };
  for (const Case& c : {Case{0, 0, 500, 1}, Case{0, 120, 120, 1}, Case{50, 120, 120, 1},
                        Case{50, 2000, 2000, 0}, Case{500, 0, 2000, 0}}) {
    SCOPED_TRACE(testing::Message() << "PageSize " << c.page_size << " MaxRows " << c.max_rows);
    reader->put_PageSize(c.page_size);
    reader->put_MaxRows(c.max_rows);
    const std::vector<std::string> rows = Rows(reader);
    EXPECT_EQ(rows.size(), c.rows) << rows[0];
    EXPECT_EQ(f.truncated, c.truncated);
    EXPECT_EQ(f.is_error, 0);
    EXPECT_EQ(f.succeeded, 1);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), by_sn));
  }
}

TEST_F(SecureDirectoryTest, EncryptedSearchesAndWritesWhereClearTextIsRefused) {
  const std::string refused = "Confidentiality Required";
  for (const wchar_t* encryption : {L"none", L"ldaps", L"starttls"}) {
    SCOPED_TRACE(testing::Message() << ToText(encryption));
    const bool plain = std::wstring(encryption) == L"none";
    ComPtr<ILdap2> ldap = Searcher(encryption, true);
    ldap->put_Filter(Bstr(L"(cn=m000*)").Get());
    const std::vector<std::string> rows = Rows(ldap);
    EXPECT_EQ(rows.size(), plain ? 1u : 10u);
    if (plain) {
      EXPECT_EQ(rows[0], refused);
    }
    ldap->DN(Bstr(L"cn").Get(), Bstr(L"written").Get());
    for (auto [name, value] : {std::pair{L"objectClass", L"person"}, {L"sn", L"W"}}) {
      Variant v;
      V_VT(v.Get()) = VT_BSTR;
      V_BSTR(v.Get()) = SysAllocString(value);
      ldap->AttributeAdd(Bstr(name).Get(), *v.Get(), -1);
    }
    ldap->Add();
    const LdapFields& f = static_cast<CLdap*>(ldap.Get())->Fields();
    EXPECT_EQ(f.error_reason, plain ? refused : "");
    if (!plain) ldap->Delete();
    EXPECT_EQ(f.error_reason, plain ? refused : "");
  }
}

// Wine's library, asked for TLS on a port that speaks plain LDAP, never returns from the
// first send; Timeout still ends the operation.
TEST_F(SecureDirectoryTest, LdapsOnThePlainPortEndsAfterTimeout) {
  ComPtr<ILdap2> ldap = Searcher(L"ldaps");
  ldap->put_Port(std::stol(port_));
  ldap->put_Timeout(2);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Rows(ldap), std::vector<std::string>{LdapErrorText(LDAP_TIMEOUT)});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 3.5);
}

// A listening socket on a loopback port that nothing answers on: whether anything
// connected to it shows without accepting.
class SilentListener {
 public:
  explicit SilentListener(int port = 0) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listening_ = bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                 listen(socket_, 32) == 0;
    int size = sizeof(address);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  // Closes every connection that reached it, then itself: their clients see the end.
  ~SilentListener() {
    u_long nonblocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonblocking);
    for (SOCKET c; (c = accept(socket_, nullptr, nullptr)) != INVALID_SOCKET;) closesocket(c);
    closesocket(socket_);
    WSACleanup();
  }
  bool Listening() const { return listening_; }
  int Port() const { return port_; }
  bool WasCalled() const {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket_, &ready);
    timeval now{0, 0};
    return select(0, &ready, nullptr, nullptr, &now) == 1;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  bool listening_ = false;
  int port_ = 0;
};

// The library would follow a referral or search reference over plain LDAP by itself; an
// encrypted session reads only what its own server holds and never reaches the other.
TEST_F(SecureDirectoryTest, EncryptedSessionsNeverFollowAReferral) {
  const std::string referral_port = ReadPort("referral-port");
  ASSERT_FALSE(referral_port.empty());
  SilentListener elsewhere(std::stoi(referral_port));
  ASSERT_TRUE(elsewhere.Listening()) << "port " << referral_port;
  for (const wchar_t* encryption : {L"ldaps", L"starttls"}) {
    SCOPED_TRACE(testing::Message() << ToText(encryption));
    // From the suffix: ou=Many counts, the reference to ou=Elsewhere is left out.
    ComPtr<ILdap2> root = Searcher(encryption, true, nullptr);
    root->put_Timeout(5);  // a followed referral would wait on the silent server
    root->put_Scope(Bstr(L"subtree").Get());
    root->put_Filter(Bstr(L"(objectClass=organizationalUnit)").Get());
    root->put_Attributes(Bstr(L"ou").Get());
    root->put_Sort(Bstr(L"").Get());
    EXPECT_EQ(Rows(root), std::vector<std::string>{"Many "});
    // At the referral itself: the server's answer, as the library words it.
    ComPtr<ILdap2> at = Searcher(encryption, true, L"Elsewhere");
    at->put_Timeout(5);
    at->put_Scope(Bstr(L"base").Get());
    EXPECT_EQ(Rows(at), std::vector<std::string>{LdapErrorText(LDAP_REFERRAL)});
  }
  EXPECT_FALSE(elsewhere.WasCalled()) << "a referral was followed in clear text";
}

// Each encrypted connect that outlives Timeout leaves its thread waiting on the server;
// past a few of them a page is refused at once instead of adding another. (Last of the
// suite: the threads it leaves run until the process ends.)
TEST_F(SecureDirectoryTest, ConnectThreadsLeftWaitingAreCapped) {
  // A thread an earlier test left (TLS on a plain port) may still run.
  const LONG earlier = RunningConnectThreads();
  std::vector<std::string> outcomes;
  {
    SilentListener silent;
    ASSERT_TRUE(silent.Listening());
    for (int i = 0; i < 10; ++i) {
      ComPtr<ILdap2> ldap = Searcher(L"ldaps");
      ldap->put_Port(silent.Port());
      ldap->put_Timeout(1);
      outcomes.push_back(Rows(ldap).at(0));
    }
    // Wine's library does not return even when the server closes the connection: the
    // threads stay until the process ends, which is why their number must be bounded.
    EXPECT_EQ(RunningConnectThreads(), 8);
  }
  const std::string timed_out = LdapErrorText(LDAP_TIMEOUT);
  const std::string refused =
      "Too many encrypted connections are still waiting for a server that does not answer; "
      "try again later";
  std::vector<std::string> expected(10, refused);
  std::fill_n(expected.begin(), 8 - earlier, timed_out);
  EXPECT_EQ(outcomes, expected);
}

}  // namespace
}  // namespace quillon
