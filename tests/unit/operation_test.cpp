// Delete and ModifyDN through the shared operation shape, against the recording library:
// what is sent, in which order, and what the page reads afterwards.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "recording_ldap.h"
#include "session/connection.h"
#include "module/variant.h"
#include "test_support.h"

namespace quillon {
namespace {

using test::FieldsOf;
using test::NewLdap;
using Calls = std::vector<std::string>;

class OperationTest : public testing::Test {
 protected:
  void SetUp() override {
    ldap_ = NewLdap();
    Put(&ILdap::put_ServerName, L"127.0.0.1");
  }
  void Put(HRESULT (STDMETHODCALLTYPE ILdap::*setter)(BSTR), const wchar_t* text) {
    (ldap_.Get()->*setter)(Bstr(text).Get());
  }
  void Dn(const wchar_t* attribute, const wchar_t* value) {
    ldap_->DN(Bstr(attribute).Get(), Bstr(value).Get());
  }
  std::string Reason() { return FieldsOf(ldap_).error_reason; }

  test::RecordingLdap lib_;
  ComPtr<ILdap> ldap_;
};

TEST_F(OperationTest, DeleteSendsTheComposedNameWithoutItsLeadingComma) {
  Dn(L"ou", L"People");
  Dn(L" cn ", L"\tAnn Lee ");
  ASSERT_EQ(ldap_->Delete(), S_OK);
  EXPECT_EQ(lib_.calls, (Calls{"open \"127.0.0.1\" 389", "option version 3",
                               "bind_s null null record size 0 time 0",
                               "delete \"cn=Ann Lee,ou=People\"", "unbind"}));
  EXPECT_EQ(FieldsOf(ldap_).dn, ",cn=Ann Lee,ou=People") << "the object keeps its comma";
  EXPECT_EQ(FieldsOf(ldap_).port, 389) << "the default port stays for later operations";
  EXPECT_EQ(FieldsOf(ldap_).is_error, 0);
  EXPECT_EQ(FieldsOf(ldap_).current_operation, kOpDelete);
}

TEST_F(OperationTest, OnlyOneLeadingCommaIsRemoved) {
  Dn(L",ou", L"People");
  ldap_->Delete();
  EXPECT_EQ(lib_.calls[3], "delete \",ou=People\"");
}

TEST_F(OperationTest, BlankComponentsAndRdnsChangeNothing) {
  Dn(L"  ", L"x");
  Dn(L"cn", L"");
  Dn(L"cn", L"a,ou=b");  // not escaped: the server sees two components
  ldap_->NewRDN(Bstr(L"cn").Get(), Bstr(L"Carl").Get());
  ldap_->NewRDN(Bstr(L"cn").Get(), Bstr(L" ").Get());
  EXPECT_EQ(FieldsOf(ldap_).dn, ",cn=a,ou=b");
  EXPECT_EQ(FieldsOf(ldap_).new_rdn, "cn=Carl");
  EXPECT_EQ(FieldsOf(ldap_).is_error, 0);
}

TEST_F(OperationTest, ValidationStopsBeforeAnyCallInItsOrder) {
  Put(&ILdap::put_ServerName, L"");
  ldap_->ModifyDN();
  EXPECT_EQ(Reason(), "Please specify LDAP Server") << "the server check comes first";
  Put(&ILdap::put_ServerName, L"127.0.0.1");
  ldap_->ModifyDN();
  EXPECT_EQ(Reason(), "Please specify valid value for DN") << "then the DN";
  Dn(L"cn", L"Ann");
  ldap_->ModifyDN();
  EXPECT_EQ(Reason(), "Please specify valid value for new RDN") << "then the rename's own check";
  EXPECT_TRUE(lib_.calls.empty());
  EXPECT_EQ(FieldsOf(ldap_).is_error, 1);
}

TEST_F(OperationTest, UnknownEncryptionRefusesAfterTheOperationsOwnChecks) {
  ComPtr<ILdap2> ldap2;
  ldap_.As(IID_ILdap2, &ldap2);
  ldap2->put_Encryption(Bstr(L"tls").Get());
  ldap_->Delete();
  EXPECT_EQ(Reason(), "Please specify valid value for DN");
  Dn(L"cn", L"Ann");
  ldap_->ModifyDN();
  EXPECT_EQ(Reason(), "Please specify valid value for new RDN");
  ldap_->Add();
  EXPECT_EQ(Reason(), "Please specify atleast necessary Attributes");
  Variant result;
  ldap_->Query(result.Get());
  EXPECT_EQ(Reason(), "Please specify Encryption as none, ldaps or starttls");
  EXPECT_TRUE(lib_.calls.empty());
}

// Each Encryption opens its own kind of session; a StartTLS that fails ends the
// operation before the bind, so the password never travels in clear text.
TEST_F(OperationTest, EncryptionChoosesTheSessionAndNeverBindsInClear) {
  ComPtr<ILdap2> ldap2;
  ldap_.As(IID_ILdap2, &ldap2);
  Dn(L"cn", L"Ann");
  Put(&ILdap::put_UserName, L"cn=admin");
  Put(&ILdap::put_Password, L"pw");
  ldap2->put_Encryption(Bstr(L" LDAPS ").Get());
  ldap_->Delete();
  EXPECT_EQ(
      lib_.calls,
      (Calls{"sslinit \"127.0.0.1\" 636 1", "option version 3", "option referrals off",
             "bind_s \"cn=admin\" \"pw\" record size 0 time 0", "delete \"cn=Ann\"", "unbind"}));
  ldap2->put_Encryption(Bstr(L"StartTLS").Get());
  lib_.calls.clear();
  ldap_->Delete();
  EXPECT_EQ(lib_.calls[0], "init \"127.0.0.1\" 389") << "the default port follows Encryption";
  EXPECT_EQ(lib_.calls[3], "start_tls");
  EXPECT_EQ(lib_.calls[4], "bind_s \"cn=admin\" \"pw\" record size 0 time 0");
  lib_.start_tls_rc = LDAP_UNAVAILABLE;
  lib_.calls.clear();
  ldap_->Delete();
  EXPECT_EQ(lib_.calls, (Calls{"init \"127.0.0.1\" 389", "option version 3", "option referrals off",
                               "start_tls", "unbind"}));
  EXPECT_EQ(Reason(), "text 52");
  ldap_->put_Port(1636);
  ldap2->put_Encryption(Bstr(L"ldaps").Get());
  lib_.calls.clear();
  ldap_->Delete();
  EXPECT_EQ(lib_.calls[0], "sslinit \"127.0.0.1\" 1636 1") << "a port the page sets is kept";
  ldap2->put_Encryption(Bstr(L"").Get());
  lib_.calls.clear();
  ldap_->Delete();
  EXPECT_EQ(lib_.calls[0], "open \"127.0.0.1\" 1636");
}

TEST_F(OperationTest, ModifyDnRemovesTheOldValue) {
  Dn(L"ou", L"People");
  Dn(L"cn", L"Ann");
  ldap_->NewRDN(Bstr(L"cn").Get(), Bstr(L"Anna").Get());
  ldap_->ModifyDN();
  EXPECT_EQ(lib_.calls[3], "modrdn2 \"cn=Ann,ou=People\" \"cn=Anna\" 1");
  EXPECT_EQ(lib_.calls.back(), "unbind");
  EXPECT_EQ(FieldsOf(ldap_).dn, ",cn=Ann,ou=People") << "names are never reset";
}

// KeepOldRDN keeps the old value in both calls; NewParent alone needs the rename call.
TEST_F(OperationTest, ModifyDnMovesUnderNewParentAndKeepsTheOldValueWhenAsked) {
  ComPtr<ILdap3> ldap3;
  ASSERT_EQ(ldap_.As(IID_ILdap3, &ldap3), S_OK);
  ldap3->put_DistinguishedName(Bstr(L"cn=Ann,ou=People").Get());
  ldap_->NewRDN(Bstr(L"cn").Get(), Bstr(L"Anna").Get());
  ldap3->put_KeepOldRDN(1);
  ldap_->ModifyDN();
  ldap3->put_NewParent(Bstr(L"ou=Staff").Get());
  ldap_->ModifyDN();
  ldap3->put_KeepOldRDN(0);
  ldap_->ModifyDN();
  ldap3->put_NewParent(Bstr(L"").Get());
  ldap_->ModifyDN();
  Calls requests;
  for (const std::string& call : lib_.calls) {
    if (call.rfind("modrdn2", 0) == 0 || call.rfind("rename_ext", 0) == 0) requests.push_back(call);
  }
  EXPECT_EQ(requests, (Calls{"modrdn2 \"cn=Ann,ou=People\" \"cn=Anna\" 0",
                             "rename_ext \"cn=Ann,ou=People\" \"cn=Anna\" \"ou=Staff\" 0",
                             "rename_ext \"cn=Ann,ou=People\" \"cn=Anna\" \"ou=Staff\" 1",
                             "modrdn2 \"cn=Ann,ou=People\" \"cn=Anna\" 1"}));
}

// A kept session serves operations while server, port, user, password and encryption
// stay; a change, a failure or the object's release closes it.
TEST_F(OperationTest, KeptConnectionIsReusedUntilSomethingChanges) {
  ComPtr<ILdap3> ldap3;
  ASSERT_EQ(ldap_.As(IID_ILdap3, &ldap3), S_OK);
  Dn(L"cn", L"Ann");
  Put(&ILdap::put_UserName, L"cn=admin");
  Put(&ILdap::put_Password, L"pw");
  ldap3->put_KeepConnection(1);
  ldap_->Delete();
  ldap_->Delete();
  EXPECT_EQ(lib_.calls, (Calls{"open \"127.0.0.1\" 389", "option version 3",
                               "bind_s \"cn=admin\" \"pw\" record size 0 time 0",
                               "delete \"cn=Ann\"", "delete \"cn=Ann\""}));
  EXPECT_EQ(lib_.open_sessions, 1);
  lib_.calls.clear();
  Put(&ILdap::put_Password, L"other");
  ldap_->Delete();
  EXPECT_EQ(lib_.calls,
            (Calls{"unbind", "open \"127.0.0.1\" 389", "option version 3",
                   "bind_s \"cn=admin\" \"other\" record size 0 time 0", "delete \"cn=Ann\""}));
  lib_.calls.clear();
  lib_.request_rc = LDAP_NO_SUCH_OBJECT;
  ldap_->Delete();
  EXPECT_EQ(lib_.calls, (Calls{"delete \"cn=Ann\"", "unbind"})) << "a failure closes it";
  SHORT succeeded = 7;
  ldap3->get_Succeeded(&succeeded);
  EXPECT_EQ(succeeded, 0);
  lib_.request_rc = 0;
  ldap_->Delete();
  ldap3->get_Succeeded(&succeeded);
  EXPECT_EQ(succeeded, 1) << "not sticky";
  EXPECT_EQ(lib_.open_sessions, 1);
  ldap3.Reset();
  ldap_.Reset();
  EXPECT_EQ(lib_.open_sessions, 0) << "the release closes it";
  EXPECT_EQ(lib_.calls.back(), "unbind");
}

TEST_F(OperationTest, LimitsAreSetInRecordAndOptionsBeforeTheBind) {
  Dn(L"cn", L"Ann");
  ldap_->put_Port(636);
  ldap_->put_MaxRows(5);
  ldap_->put_Timeout(10);
  Put(&ILdap::put_UserName, L"cn=admin");
  Put(&ILdap::put_Password, L"pw");
  ldap_->Delete();
  EXPECT_EQ(lib_.calls, (Calls{"open \"127.0.0.1\" 636", "option version 3", "option size 5",
                               "option time 10", "bind \"cn=admin\" \"pw\" record size 5 time 10",
                               "result 7 within 10", "delete \"cn=Ann\"", "unbind"}));
}

TEST_F(OperationTest, UserNameWithoutPasswordBindsAnonymously) {
  Dn(L"cn", L"Ann");
  Put(&ILdap::put_UserName, L"  ");
  ldap_->Delete();
  EXPECT_EQ(lib_.calls[2], "bind_s null null record size 0 time 0");
}

TEST_F(OperationTest, FailuresSetTheStickyErrorStateAndCloseTheSession) {
  Dn(L"cn", L"Ann");
  lib_.request_rc = LDAP_NO_SUCH_OBJECT;
  lib_.texts[LDAP_NO_SUCH_OBJECT] = "No Such Object";
  ldap_->Delete();
  EXPECT_EQ(Reason(), "No Such Object");
  lib_.request_rc = 0;
  ldap_->Delete();
  EXPECT_EQ(FieldsOf(ldap_).is_error, 1) << "a later success does not clear the error";
  EXPECT_EQ(Reason(), "No Such Object");
  lib_.bind_rc = LDAP_INVALID_CREDENTIALS;
  lib_.texts[LDAP_INVALID_CREDENTIALS] = "Invalid Credentials";
  lib_.calls.clear();
  ldap_->Delete();
  EXPECT_EQ(Reason(), "Invalid Credentials");
  EXPECT_EQ(lib_.calls.back(), "unbind") << "a failed bind still closes the session";
  EXPECT_EQ(lib_.open_sessions, 0);
}

TEST_F(OperationTest, OpenFailureReportsTheSystemText) {
  Dn(L"cn", L"Ann");
  lib_.open_error = ERROR_FILE_NOT_FOUND;
  ldap_->Delete();
  EXPECT_EQ(Reason(), SystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(lib_.calls.size(), 1u);
}

TEST(ErrorText, FallbacksForMissingTexts) {
  test::RecordingLdap lib;
  lib.texts[90] = "";
  lib.texts[91] = "X";
  lib.texts[static_cast<ULONG>(-1)] = "";
  EXPECT_EQ(LdapErrorText(90), "The system cannot find error message for error number 90");
  EXPECT_EQ(LdapErrorText(91), "The system cannot find error message for error number 91");
  EXPECT_EQ(LdapErrorText(-1), "The system cannot find error message for error number -1");
  lib.texts[49] = "OK";
  EXPECT_EQ(LdapErrorText(49), "OK");
  EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND), "File not found.\r\n");
  EXPECT_EQ(SystemErrorText(0x2345678), "Unknown error");
}

// A loopback TCP listener on a free port; the kernel completes the handshake of every
// connection, whether or not anyone accepts it.
class Listener {
 public:
  Listener() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return;
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    ready_ = bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
             listen(socket_, 4) == 0 &&
             getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port_ = ntohs(address.sin_port);
  }
  ~Listener() {
    closesocket(socket_);
    WSACleanup();
  }
  bool Ready() const { return ready_; }
  SOCKET Socket() const { return socket_; }
  long Port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  bool ready_ = false;
  long port_ = 0;
};

// A real listener that completes the TCP handshake and never answers: with Timeout set,
// the operation ends with an error after about that many seconds instead of hanging.
TEST(ConnectionTimeout, ASilentServerCannotHoldThePage) {
  Listener server;
  ASSERT_TRUE(server.Ready());

  ComPtr<ILdap> ldap = NewLdap();
  ldap->put_ServerName(Bstr(L"127.0.0.1").Get());
  ldap->put_Port(server.Port());
  ldap->put_Timeout(1);
  ldap->DN(Bstr(L"cn").Get(), Bstr(L"x").Get());
  const auto start = std::chrono::steady_clock::now();
  ldap->Delete();
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(FieldsOf(ldap).is_error, 1);
  EXPECT_EQ(FieldsOf(ldap).error_reason, LdapErrorText(LDAP_TIMEOUT));
  EXPECT_LT(seconds.count(), 10.0);
}

// A real server that accepts the bind and never answers the search: Timeout bounds the
// client's wait for the search too.
TEST(ConnectionTimeout, ASearchThatNeverAnswersEndsAfterTimeout) {
  Listener server;
  ASSERT_TRUE(server.Ready());
  SOCKET listener = server.Socket();
  std::thread answering([listener] {
    SOCKET client = accept(listener, nullptr, nullptr);
    unsigned char request[256];
    const int got = recv(client, reinterpret_cast<char*>(request), sizeof(request), 0);
    // A successful BindResponse carrying the request's one-byte message id.
    const unsigned char id = got > 4 ? request[4] : 1;
    const unsigned char response[] = {0x30, 0x0c, 0x02, 0x01, id,   0x61, 0x07,
                                      0x0a, 0x01, 0x00, 0x04, 0x00, 0x04, 0x00};
    send(client, reinterpret_cast<const char*>(response), sizeof(response), 0);
    recv(client, reinterpret_cast<char*>(request), sizeof(request), 0);  // the search
    Sleep(2000);
    closesocket(client);
  });

  ComPtr<ILdap> ldap = NewLdap();
  ldap->put_ServerName(Bstr(L"127.0.0.1").Get());
  ldap->put_Port(server.Port());
  ldap->put_Timeout(1);
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"com").Get());
  Variant result;
  const auto start = std::chrono::steady_clock::now();
  ldap->Query(result.Get());
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(FieldsOf(ldap).is_error, 1);
  EXPECT_EQ(FieldsOf(ldap).error_reason, LdapErrorText(LDAP_TIMEOUT));
  EXPECT_LT(seconds.count(), 4.5);
  answering.join();
}

}  // namespace
}  // namespace quillon
