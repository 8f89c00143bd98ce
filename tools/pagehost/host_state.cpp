#include "tools/pagehost/host_state.h"

#include <oleauto.h>
#include <wincrypt.h>

namespace pagehost {

namespace {

bool IsPlain(const VARIANT& v) {
  const VARTYPE base = V_VT(&v) & VT_TYPEMASK;
  if (V_VT(&v) & VT_BYREF) return false;
  if (base == VT_DISPATCH || base == VT_UNKNOWN || base == VT_RECORD) return false;
  if (!(V_VT(&v) & VT_ARRAY) || base != VT_VARIANT) return true;
  // An array of variants: each element must be plain too.
  SAFEARRAY* array = V_ARRAY(&v);
  if (!array) return true;
  VARIANT* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)))) return false;
  ULONG count = 1;
  for (UINT d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
  bool plain = true;
  for (ULONG i = 0; i < count && plain; ++i) plain = IsPlain(data[i]);
  SafeArrayUnaccessData(array);
  return plain;
}

std::string RandomId() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  HCRYPTPROV provider = 0;
  unsigned char bytes[24] = {};
  if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    CryptGenRandom(provider, sizeof bytes, bytes);
    CryptReleaseContext(provider, 0);
  }
  std::string id;
  for (unsigned char b : bytes) id += kLetters[b % 26];
  return id;
}

}  // namespace

ValueStore::~ValueStore() {
  Clear();
}

void ValueStore::Get(const std::wstring& name, VARIANT* out) {
  VariantInit(out);
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& [n, v] : values_) {
    if (lstrcmpiW(n.c_str(), name.c_str()) == 0) {
      VariantCopy(out, &v);
      return;
    }
  }
}

bool ValueStore::Put(const std::wstring& name, const VARIANT& value) {
  if (!IsPlain(value)) return false;
  VARIANT copy;
  VariantInit(&copy);
  if (FAILED(VariantCopy(&copy, const_cast<VARIANT*>(&value)))) return false;
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& [n, v] : values_) {
    if (lstrcmpiW(n.c_str(), name.c_str()) == 0) {
      VariantClear(&v);
      v = copy;
      return true;
    }
  }
  values_.emplace_back(name, copy);
  return true;
}

void ValueStore::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& [n, v] : values_) VariantClear(&v);
  values_.clear();
}

std::vector<std::wstring> ValueStore::Names() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<std::wstring> names;
  for (auto& [n, v] : values_) names.push_back(n);
  return names;
}

std::shared_ptr<SessionState> HostState::FindSession(const std::string& id) {
  std::lock_guard<std::mutex> hold(sessions_lock_);
  const ULONGLONG now = GetTickCount64();
  // Expired sessions go whenever one is looked up, so the table cannot grow without end.
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    const ULONGLONG limit = static_cast<ULONGLONG>(it->second->timeout_minutes) * 60000;
    it = now - it->second->last_use > limit ? sessions_.erase(it) : std::next(it);
  }
  auto found = sessions_.find(id);
  if (found == sessions_.end()) return nullptr;
  found->second->last_use = now;
  return found->second;
}

std::shared_ptr<SessionState> HostState::NewSession() {
  auto session = std::make_shared<SessionState>(RandomId());
  session->last_use = GetTickCount64();
  std::lock_guard<std::mutex> hold(sessions_lock_);
  // Clients that never send the cookie back make a session per request: keep the table
  // bounded by dropping the longest unused one.
  if (sessions_.size() >= kMaxSessions) {
    auto oldest = sessions_.begin();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
      if (it->second->last_use < oldest->second->last_use) oldest = it;
    }
    sessions_.erase(oldest);
  }
  sessions_[session->Id()] = session;
  return session;
}

void HostState::Abandon(const std::string& id) {
  std::lock_guard<std::mutex> hold(sessions_lock_);
  sessions_.erase(id);
}

size_t HostState::SessionCount() {
  std::lock_guard<std::mutex> hold(sessions_lock_);
  return sessions_.size();
}

}  // namespace pagehost
