#include "workload.h"

#include <algorithm>
#include <cstdio>

namespace soak {

namespace {

const DnPath kSoak = {{L"dc", L"com"}, {L"dc", L"example"}, {L"ou", L"Soak"}};

DnPath Under(DnPath path, const wchar_t* attribute, std::wstring value) {
  path.emplace_back(attribute, std::move(value));
  return path;
}

std::wstring Number(long n, int width = 0) {
  wchar_t text[24];
  swprintf(text, 24, L"%0*ld", width, n);
  return text;
}

// A photo-like value: a text head, a zero byte and bytes of every high value, so that
// both the text form (up to the zero) and the byte count show any damage.
std::string Photo(long entry, int version) {
  std::string bytes = "JPEG " + std::to_string(entry) + "/" + std::to_string(version);
  bytes.push_back('\0');
  for (int i = 0; i < 40 + static_cast<int>(entry % 13) * version; ++i) {
    bytes.push_back(static_cast<char>(0x80 + (i * 7 + version) % 128));
  }
  return bytes;
}

std::wstring PhotoText(long entry, int version) {
  const std::string head = "JPEG " + std::to_string(entry) + "/" + std::to_string(version);
  return std::wstring(head.begin(), head.end());
}

const Column* Find(const Table& table, const wchar_t* name) {
  for (const Column& c : table) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::vector<std::wstring> Names(const Table& table) {
  std::vector<std::wstring> names;
  for (const Column& c : table) names.push_back(c.name);
  return names;
}

// The values of one column in one row, or nothing when either is missing.
std::vector<std::wstring> Values(const Table& table, const wchar_t* name, size_t row = 0) {
  const Column* column = Find(table, name);
  if (!column || row >= column->rows.size()) return {};
  return column->rows[row].values;
}

std::string Join(const std::vector<std::wstring>& list) {
  std::string out;
  for (const std::wstring& s : list) out += (out.empty() ? "" : "|") + Narrow(s);
  return out;
}

// The surnames of ou=Small (see populate.sh) in the order each sort must give.
const std::vector<std::wstring> kSmallByBytes = {L"Alpha", L"Charlie", L"Echo", L"bravo", L"delta"};
const std::vector<std::wstring> kSmallNoCase = {L"Alpha", L"bravo", L"Charlie", L"delta", L"Echo"};

}  // namespace

Worker::Worker(Host& host, MakeLdap make, LONG port, DnPath base, std::wstring prefix)
    : host_(host),
      make_(std::move(make)),
      port_(port),
      base_(std::move(base)),
      prefix_(std::move(prefix)) {}

void Worker::Expect(bool condition, const std::string& what) {
  if (!condition) host_.Fail().Add(context_ + ": " + what);
}

void Worker::ExpectNoError(IDispatch* ldap, const char* operation) {
  const LONG is_error = host_.GetLong(ldap, L"IsError");
  if (is_error != 0) {
    Expect(false,
           std::string(operation) + " failed: " + Narrow(host_.GetText(ldap, L"ErrorReason")));
  }
}

quillon::ComPtr<IDispatch> Worker::NewPage(const DnPath& dn) {
  quillon::ComPtr<IDispatch> ldap = make_();
  if (!ldap) {
    Expect(false, "no Ldap object");
    return ldap;
  }
  IDispatch* o = ldap.Get();
  host_.Put(o, L"ServerName", Var::Text(L"127.0.0.1"));
  host_.Put(o, L"Port", Var::Long(port_));
  host_.Put(o, L"UserName", Var::Text(L"cn=admin,dc=example,dc=com"));
  host_.Put(o, L"Password", Var::Text(L"secret"));
  host_.Put(o, L"Timeout", Var::Long(30));
  host_.Put(o, L"MaxRows", Var::Long(0));
  host_.Put(o, L"Filter", Var::Text(L"(objectClass=*)"));
  for (const auto& [attribute, value] : dn) {
    host_.Call(o, L"DN", [&] {
      std::vector<Var> args;
      args.push_back(Var::Text(attribute));
      args.push_back(Var::Text(value));
      return args;
    }());
  }
  return ldap;
}

std::wstring Worker::EntryName(bool renamed) const {
  return prefix_ + Number(entry_) + (renamed ? L" renamed" : L"");
}

DnPath Worker::EntryDn(bool renamed) const {
  return Under(base_, L"cn", EntryName(renamed));
}

Table Worker::QueryTable(IDispatch* ldap) {
  Var result = host_.Call(ldap, L"Query");
  ExpectNoError(ldap, "Query");
  if (!result.Object()) {
    Expect(false, "Query gave no collection");
    return {};
  }
  return ReadQuery(host_, result.Object());
}

void Worker::Step() {
  static const char* const kSteps[] = {"Add",      "Query added",   "Modify", "Query modified",
                                       "ModifyDN", "Query renamed", "Delete", "Query deleted"};
  context_ = Narrow(prefix_) + " op " + std::to_string(operations_) + " " + kSteps[step_] +
             " entry " + std::to_string(entry_);
  auto stage = [this](IDispatch* o, const wchar_t* method, const wchar_t* name, Var value,
                      LONG size, LONG add = -1) {
    std::vector<Var> args;
    args.push_back(Var::Text(name));
    args.push_back(std::move(value));
    args.push_back(Var::Long(size));
    if (add >= 0) args.push_back(Var::Long(add));
    host_.Call(o, method, std::move(args));
  };
  const std::wstring mail = prefix_ + Number(entry_) + L"@example.com";
  switch (step_) {
    case 0: {
      auto o = NewPage(EntryDn(false));
      if (!o) break;
      stage(o.Get(), L"AttributeAdd", L"objectClass", Var::Text(L"inetOrgPerson"), -1);
      stage(o.Get(), L"AttributeAdd", L"cn", Var::Text(EntryName(false)), -1);
      stage(o.Get(), L"AttributeAdd", L"sn", Var::Text(L"  Sn " + Number(entry_) + L"  "), -1);
      // A page's variable arrives by reference.
      Var first = Var::Text(L"a." + mail);
      stage(o.Get(), L"AttributeAdd", L"mail", Var::RefTo(first), -1);
      stage(o.Get(), L"AttributeAdd", L"mail", Var::Text(L"b." + mail), -1);
      const std::string photo = Photo(entry_, 1);
      stage(o.Get(), L"AttributeAdd", L"jpegPhoto", Var::Bytes(photo),
            static_cast<LONG>(photo.size()));
      host_.Call(o.Get(), L"Add");
      ExpectNoError(o.Get(), "Add");
      break;
    }
    case 1: {
      auto o = NewPage(EntryDn(false));
      if (!o) break;
      host_.Put(o.Get(), L"Scope", Var::Text(L"base"));
      host_.Put(o.Get(), L"Attributes", Var::Text(L"cn;sn;mail;jpegPhoto"));
      host_.Put(o.Get(), L"Sort", Var::Text(L"mail"));
      const Table t = QueryTable(o.Get());
      Expect(Names(t) == std::vector<std::wstring>{L"mail", L"cn", L"sn", L"jpegPhoto"},
             "columns " + Join(Names(t)));
      Expect(Values(t, L"cn") == std::vector<std::wstring>{EntryName(false)}, "cn");
      Expect(Values(t, L"sn") == std::vector<std::wstring>{L"Sn " + Number(entry_)}, "sn");
      Expect(Values(t, L"mail") == std::vector<std::wstring>{L"a." + mail, L"b." + mail},
             "mail " + Join(Values(t, L"mail")));
      const Column* photo = Find(t, L"jpegPhoto");
      Expect(photo && photo->rows.size() == 1 && photo->rows[0].values.size() == 1 &&
                 photo->rows[0].values[0] == PhotoText(entry_, 1) &&
                 photo->rows[0].sizes[0] == static_cast<LONG>(Photo(entry_, 1).size()),
             "jpegPhoto");
      break;
    }
    case 2: {
      auto o = NewPage(EntryDn(false));
      if (!o) break;
      stage(o.Get(), L"AttributeModify", L"sn", Var::Text(L"Changed " + Number(entry_)), -1, 0);
      stage(o.Get(), L"AttributeModify", L"mail", Var::Text(L"c." + mail), -1, 1);
      const std::string photo = Photo(entry_, 2);
      stage(o.Get(), L"AttributeModify", L"jpegPhoto", Var::Bytes(photo),
            static_cast<LONG>(photo.size()), 0);
      host_.Call(o.Get(), L"Modify");
      ExpectNoError(o.Get(), "Modify");
      break;
    }
    case 3: {
      // Found by filter among the worker's own entries (only this one exists).
      auto o = NewPage(base_);
      if (!o) break;
      host_.Put(o.Get(), L"Filter", Var::Text(L"(cn=" + EntryName(false) + L")"));
      host_.Put(o.Get(), L"Attributes", Var::Text(L"sn;mail;jpegPhoto"));
      const Table t = QueryTable(o.Get());
      Expect(Names(t) == std::vector<std::wstring>{L"sn", L"mail", L"jpegPhoto"},
             "columns " + Join(Names(t)));
      Expect(Values(t, L"sn") == std::vector<std::wstring>{L"Changed " + Number(entry_)}, "sn");
      Expect(
          Values(t, L"mail") == std::vector<std::wstring>{L"a." + mail, L"b." + mail, L"c." + mail},
          "mail " + Join(Values(t, L"mail")));
      const Column* photo = Find(t, L"jpegPhoto");
      Expect(photo && photo->rows.size() == 1 && photo->rows[0].sizes.size() == 1 &&
                 photo->rows[0].values[0] == PhotoText(entry_, 2) &&
                 photo->rows[0].sizes[0] == static_cast<LONG>(Photo(entry_, 2).size()),
             "jpegPhoto");
      break;
    }
    case 4: {
      auto o = NewPage(EntryDn(false));
      if (!o) break;
      host_.Call(o.Get(), L"NewRDN", [&] {
        std::vector<Var> args;
        args.push_back(Var::Text(L"cn"));
        args.push_back(Var::Text(EntryName(true)));
        return args;
      }());
      host_.Call(o.Get(), L"ModifyDN");
      ExpectNoError(o.Get(), "ModifyDN");
      break;
    }
    case 5: {
      auto o = NewPage(EntryDn(true));
      if (!o) break;
      host_.Put(o.Get(), L"Scope", Var::Text(L"base"));
      host_.Put(o.Get(), L"Attributes", Var::Text(L"cn;sn"));
      const Table t = QueryTable(o.Get());
      // The old name's value goes with the rename.
      Expect(Values(t, L"cn") == std::vector<std::wstring>{EntryName(true)},
             "cn " + Join(Values(t, L"cn")));
      Expect(Values(t, L"sn") == std::vector<std::wstring>{L"Changed " + Number(entry_)}, "sn");
      break;
    }
    case 6: {
      auto o = NewPage(EntryDn(true));
      if (!o) break;
      host_.Call(o.Get(), L"Delete");
      ExpectNoError(o.Get(), "Delete");
      break;
    }
    case 7: {
      auto o = NewPage(EntryDn(true));
      if (!o) break;
      host_.Put(o.Get(), L"Scope", Var::Text(L"base"));
      Var result = host_.Call(o.Get(), L"Query");
      Expect(host_.GetLong(o.Get(), L"IsError") == 1, "the deleted entry was found");
      Expect(host_.GetText(o.Get(), L"ErrorReason") == L"No Such Object",
             "ErrorReason " + Narrow(host_.GetText(o.Get(), L"ErrorReason")));
      Expect(result.Type() == VT_DISPATCH && !result.Object(), "a collection for a failure");
      break;
    }
  }
  ++operations_;
  if (++step_ == 8) {
    step_ = 0;
    ++entry_;
  }
}

void Worker::SmallQuery(bool ascending, bool case_sensitive) {
  context_ = Narrow(prefix_) + " op " + std::to_string(operations_) + " small query";
  auto o = NewPage(Under(kSoak, L"ou", L"Small"));
  if (!o) return;
  host_.Put(o.Get(), L"Attributes", Var::Text(L"cn; mail ;sn"));
  host_.Put(o.Get(), L"Sort", Var::Text(L"sn"));
  host_.Put(o.Get(), L"SortAscending", Var::Long(ascending ? 1 : 0));
  host_.Put(o.Get(), L"SortCaseSensitive", Var::Long(case_sensitive ? 1 : 0));
  const Table t = QueryTable(o.Get());
  ++operations_;
  Expect(Names(t) == std::vector<std::wstring>{L"sn", L"cn", L"mail"}, "columns");
  std::vector<std::wstring> expected = case_sensitive ? kSmallByBytes : kSmallNoCase;
  if (!ascending) std::reverse(expected.begin(), expected.end());
  std::vector<std::wstring> got;
  for (size_t r = 0; r < expected.size(); ++r) {
    const std::vector<std::wstring> sn = Values(t, L"sn", r);
    got.push_back(sn.empty() ? L"" : sn[0]);
    // Row r of every column is the same entry.
    Expect(Values(t, L"cn", r) == std::vector<std::wstring>{L"Small " + got.back()},
           "row " + std::to_string(r) + " out of step");
  }
  Expect(got == expected && Find(t, L"sn")->rows.size() == expected.size(), "order " + Join(got));
}

void Worker::LargeQuery(bool limited) {
  context_ = Narrow(prefix_) + " op " + std::to_string(operations_) + " large query";
  Var result;
  {
    auto o = NewPage(Under(kSoak, L"ou", L"Large"));
    if (!o) return;
    host_.Put(o.Get(), L"Attributes", Var::Text(L"cn;sn;mail;telephoneNumber"));
    host_.Put(o.Get(), L"Sort", Var::Text(L"sn"));
    host_.Put(o.Get(), L"SortCaseSensitive", Var::Long(0));
    if (limited) host_.Put(o.Get(), L"MaxRows", Var::Long(kLargeEntries / 6));
    result = host_.Call(o.Get(), L"Query");
    ++operations_;
    if (limited) {
      Expect(host_.GetLong(o.Get(), L"IsError") == 1, "a limited search succeeded");
      Expect(host_.GetText(o.Get(), L"ErrorReason") == L"Size Limit Exceeded",
             "ErrorReason " + Narrow(host_.GetText(o.Get(), L"ErrorReason")));
      return;
    }
    ExpectNoError(o.Get(), "Query");
  }
  // The Ldap object is gone; the collection keeps what it shows alive.
  if (!result.Object()) return Expect(false, "Query gave no collection");
  const Table t = ReadQuery(host_, result.Object());
  Expect(Names(t) == std::vector<std::wstring>{L"sn", L"cn", L"mail", L"telephoneNumber"},
         "columns");
  for (const Column& c : t) {
    Expect(c.rows.size() == static_cast<size_t>(kLargeEntries),
           Narrow(c.name) + " has " + std::to_string(c.rows.size()) + " rows");
  }
  if (t.size() != 4 || t[0].rows.size() != static_cast<size_t>(kLargeEntries)) return;
  // Person i has surname Family (i*37 mod N): sorted rows run through the surnames in
  // order, and each row's other columns name the person that surname belongs to.
  for (int r = 0; r < kLargeEntries; ++r) {
    int person = 0;
    while ((person * 37) % kLargeEntries != r) ++person;
    const std::wstring n = Number(person, 3);
    const bool ok =
        t[0].rows[r].values == std::vector<std::wstring>{L"Family " + Number(r, 3)} &&
        t[1].rows[r].values == std::vector<std::wstring>{L"Person " + n} &&
        t[2].rows[r].values == std::vector<std::wstring>{L"person" + n + L"@example.com"} &&
        t[3].rows[r].values == std::vector<std::wstring>{L"+1 555 0" + n} &&
        t[1].rows[r].sizes == std::vector<LONG>{10};
    if (!ok) return Expect(false, "row " + std::to_string(r));
  }
}

}  // namespace soak
