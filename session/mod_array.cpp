#include "session/mod_array.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quillon {

namespace {

long DeclaredSize(const std::string& text) {
  return std::strtol(text.c_str(), nullptr, 10);
}

// Trims a text value where it lies and returns it. A value always has a zero byte inside
// its buffer or right after it (byte arrays keep a hidden one), so the text ends there.
PCHAR TrimInPlace(const StagedValue& value, const CodePage& cp) {
  char* text = reinterpret_cast<char*>(value.data);
  const std::string_view trimmed = TrimWhite({text, strnlen(text, value.length)}, cp);
  memmove(text, trimmed.data(), trimmed.size());
  text[trimmed.size()] = '\0';
  return text;
}

}  // namespace

bool IsSentAsText(const StagedAttribute& record) {
  return record.sizes.empty() || DeclaredSize(record.sizes.front()) < 0;
}

ULONG ModOperation(OperationCode code, bool binary, long add_flag, bool remove) {
  ULONG op = (code == kOpAdd || add_flag != 0) ? LDAP_MOD_ADD : LDAP_MOD_REPLACE;
  if (remove && code != kOpAdd) op = LDAP_MOD_DELETE;
  return binary ? (op | LDAP_MOD_BVALUES) : op;
}

ModArray BuildModArray(std::vector<StagedAttribute>& staged, OperationCode code,
                       const CodePage& cp) {
  ModArray array;
  array.pointers_.clear();
  for (const StagedAttribute& attribute : staged) {
    auto record = std::make_unique<ModArray::Record>();
    record->type = attribute.name;
    record->mod.mod_type = record->type.data();
    const bool text = IsSentAsText(attribute);
    if (attribute.values.empty()) {
      record->mod.mod_vals.modv_strvals = nullptr;
    } else if (text) {
      for (const StagedValue& value : attribute.values) {
        record->texts.push_back(TrimInPlace(value, cp));
      }
      record->texts.push_back(nullptr);
      record->mod.mod_vals.modv_strvals = record->texts.data();
    } else {
      record->bervals.reserve(attribute.values.size());
      for (size_t i = 0; i < attribute.values.size(); ++i) {
        const long declared = DeclaredSize(attribute.sizes[i]);
        const size_t length =
            declared < 0 ? 0 : std::min(static_cast<size_t>(declared), attribute.values[i].length);
        record->bervals.push_back(
            berval{static_cast<ULONG>(length), reinterpret_cast<PCHAR>(attribute.values[i].data)});
        record->berval_pointers.push_back(&record->bervals.back());
      }
      record->berval_pointers.push_back(nullptr);
      record->mod.mod_vals.modv_bvals = record->berval_pointers.data();
    }
    record->mod.mod_op = ModOperation(code, !text, attribute.add_flag, attribute.remove);
    array.pointers_.push_back(&record->mod);
    array.records_.push_back(std::move(record));
  }
  array.pointers_.push_back(nullptr);
  return array;
}

}  // namespace quillon
