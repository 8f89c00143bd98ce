// What lives longer than one request: the Application's values and the sessions. Pages run
// on many threads at once, so each store has its own lock; values are plain ones only
// (no objects), which may safely cross from one request's apartment to another's.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pagehost {

class ValueStore {
 public:
  ValueStore() = default;
  ValueStore(const ValueStore&) = delete;
  ValueStore& operator=(const ValueStore&) = delete;
  ~ValueStore();

  // Empty for an unknown name.
  void Get(const std::wstring& name, VARIANT* out);
  // False (nothing stored) for an object or an array of objects.
  bool Put(const std::wstring& name, const VARIANT& value);
  void Clear();
  std::vector<std::wstring> Names();

 private:
  std::mutex lock_;
  std::vector<std::pair<std::wstring, VARIANT>> values_;  // names keep their first spelling
};

class SessionState {
 public:
  explicit SessionState(std::string id) : id_(std::move(id)) {}
  const std::string& Id() const { return id_; }
  ValueStore& Values() { return values_; }
  LONG timeout_minutes = 20;
  ULONGLONG last_use = 0;  // GetTickCount64

 private:
  std::string id_;
  ValueStore values_;
};

class HostState {
 public:
  static constexpr char kSessionCookie[] = "ASPSESSIONIDQUILLON";
  static constexpr size_t kMaxSessions = 10000;

  ValueStore& Application() { return application_; }
  // Application.Lock / Unlock: one page at a time, until it unlocks or ends.
  void LockApplication() { application_lock_.lock(); }
  void UnlockApplication() { application_lock_.unlock(); }

  // The session of that id if it is still alive, or null.
  std::shared_ptr<SessionState> FindSession(const std::string& id);
  std::shared_ptr<SessionState> NewSession();
  void Abandon(const std::string& id);
  size_t SessionCount();

 private:
  ValueStore application_;
  std::recursive_mutex application_lock_;
  std::mutex sessions_lock_;
  std::map<std::string, std::shared_ptr<SessionState>> sessions_;
};

}  // namespace pagehost
