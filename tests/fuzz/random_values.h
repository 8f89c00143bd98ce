// The arguments the harness hands the component: texts, numbers and VARIANTs of every
// kind a script host or a compiled client can produce, drawn from one seeded generator so
// that a run is repeated exactly by its seed and call count.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace quillon::fuzz {

class Rng {
 public:
  explicit Rng(uint64_t seed) : engine_(seed) {}
  // 0 .. n-1
  uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(engine_() % n) : 0; }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  uint64_t Bits() { return engine_(); }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(static_cast<uint32_t>(items.size()))];
  }

 private:
  std::mt19937_64 engine_;
};

// Raw bytes as a server, a filter file or an INI file may hold them: NULs, white space,
// high bytes, and double-byte lead bytes of code page 932 left without their trail byte.
std::string RandomBytes(Rng& rng, size_t max_length);

// A 32-bit number, mostly the extremes and the edges around 0.
LONG RandomLong(Rng& rng);

// Text as a page passes it. Null is a possible answer (a null BSTR counts as empty).
// Sometimes 1 MiB long; sometimes with embedded NULs (the BSTR's length says more than its
// first zero character); sometimes Japanese, unpaired surrogates or unmappable characters.
BSTR RandomBstr(Rng& rng);

// An automation object whose calls fail or answer oddly, counted so that a run can prove
// the component released every one it was given.
class OddObject : public IDispatch {
 public:
  enum Behaviour {
    kFailsEverything,  // every Invoke answers an error
    kDefaultText,      // default value: a text
    kDefaultHuge,      // default value: a 1 MiB text
    kDefaultSelf,      // default value: the object itself
    kDefaultEmpty,     // answers S_OK and leaves the result empty
    kDefaultNumber,    // default value: a number
    kDefaultNullText,  // default value: a null BSTR
    kBehaviours
  };
  static OddObject* New(Behaviour behaviour);  // one reference, the caller's
  static LONG Live();
  // Prints each object still alive: its behaviour, references and where it was made.
  static void ReportLive();

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override;

 private:
  explicit OddObject(Behaviour behaviour) : behaviour_(behaviour) {}
  virtual ~OddObject();
  Behaviour behaviour_;
  ULONG refs_ = 1;
  std::string made_during_;
  int self_answers_ = 0;
};

// Owner of every VARIANT made for one call, including the targets of by-reference
// arguments; clears them all when the call is over. Addresses stay put while it lives.
class Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() { Clear(); }
  VARIANT* NewVariant();
  void Clear();

 private:
  std::deque<VARIANT> variants_;
};

// A VARIANT of any type: by value, by reference (into the arena), arrays of odd element
// types, dimensions and bounds, empty arrays, objects that fail, and a few type codes no
// valid VARIANT carries. The result is a bitwise copy the callee may read but not free;
// the arena frees what it points to.
VARIANT RandomVariant(Rng& rng, Arena& arena, int depth = 0);

// A byte-array VARIANT (VT_ARRAY|VT_UI1), owned by the arena, holding raw bytes.
VARIANT ByteArrayVariant(Arena& arena, const std::string& bytes, LONG lower);

}  // namespace quillon::fuzz
