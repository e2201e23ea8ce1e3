#include "frontend/counters.h"

#include <string>

#include "catalogue/catalogue_view.h"
#include "platform/drive_map.h"
#include "platform/log.h"
#include "platform/profile_file.h"

namespace cs {

namespace {

// c:\windows\<name> through the drive map (a fixed, well-formed path: it always resolves).
std::filesystem::path CountersPath(const DriveMap& map, const char* name) {
  return map.Resolve(std::string("c:\\windows\\") + name).value_or(map.Root() / name);
}

// The integer keys in the file's order; DtUpdate and iUpLevel follow iUpdatePer.
struct IntKey {
  const char* name;
  std::int32_t Counters::*field;
  std::int32_t def;
};
constexpr IntKey kLeadingKeys[] = {
    {"iSysCounter", &Counters::iSysCounter, 0}, {"iUserCounter", &Counters::iUserCounter, 0},
    {"iCredits", &Counters::iCredits, 0},       {"iCoinCredits", &Counters::iCoinCredits, 1},
    {"iParCredits", &Counters::iParCredits, 1}, {"iKhz15", &Counters::iKhz15, 0},
    {"iVolume", &Counters::iVolume, 5},
};
constexpr IntKey kRotationKeys[] = {
    {"iUpdate", &Counters::iUpdate, 1},
    {"iUpdatePer", &Counters::iUpdatePer, 1},
};
constexpr Date kDefaultDtUpdate{1999, 1, 1};

}  // namespace

void SetCoinStep(Counters* c) {
  switch (c->iCoinCredits) {
    case 1:
      c->CoinStep = -2;
      break;
    case 2:
      c->CoinStep = -1;
      break;
    case 3:
      c->CoinStep = 0;
      break;
    case 4:
      c->CoinStep = 1;
      break;
    case 5:
      c->CoinStep = 3;
      break;
    default:
      break;
  }
}

void LoadCounters(const DriveMap& map, Counters* c) {
  const ProfileFile ini = ProfileFile::Load(CountersPath(map, kCountersReadName));
  for (const IntKey& k : kLeadingKeys) {
    c->*k.field = ini.ReadInteger(kCountersSection, k.name, k.def);
  }
  SetCoinStep(c);
  for (const IntKey& k : kRotationKeys) {
    c->*k.field = ini.ReadInteger(kCountersSection, k.name, k.def);
  }
  const auto date = Date::ParseShort(
      ini.ReadString(kCountersSection, "DtUpdate", kDefaultDtUpdate.ToShortString()));
  c->DtUpdate = date ? *date : kDefaultDtUpdate;
  c->iUpLevel = ini.ReadInteger(kCountersSection, "iUpLevel", 1);
}

bool SaveCounters(const DriveMap& map, Counters* c) {
  // The writer's name; an existing file of any case is found and replaced under its own name.
  ProfileFile ini = ProfileFile::Load(CountersPath(map, kCountersWriteName));
  for (const IntKey& k : kLeadingKeys) ini.WriteInteger(kCountersSection, k.name, c->*k.field);
  for (const IntKey& k : kRotationKeys) ini.WriteInteger(kCountersSection, k.name, c->*k.field);
  ini.WriteString(kCountersSection, "DtUpdate", c->DtUpdate.ToShortString());
  ini.WriteInteger(kCountersSection, "iUpLevel", c->iUpLevel);
  std::string why;
  if (!ini.Save(&why)) {
    LogDiag("counters", ini.Path().string() + ": " + why);
    ShowMessageBox(std::string("Unable to write to ") + kCountersWriteName);
    return false;
  }
  SetCoinStep(c);
  return true;
}

bool CountPlay(const DriveMap& map, Counters* c, CatalogueView* Tb) {
  if (!SaveCounters(map, c)) return false;
  if (!Tb->Edit()) {
    LogDiag("counters", "cannot count the play: " + Tb->LastError());
    return false;
  }
  std::int32_t credits;
  if (const auto now = Tb->ReadInt(CatalogueField::CREDITS)) {
    const std::int64_t next = std::int64_t{*now} + 1;
    // A count outside the field's range (written by another program) restarts too.
    credits =
        IntegerFieldProblem(CatalogueField::CREDITS, next) ? 0 : static_cast<std::int32_t>(next);
  } else if (Tb->IsNull(CatalogueField::CREDITS)) {
    credits = 1;  // an empty count reads as 0
  } else {
    credits = 0;  // unreadable: the count restarts
  }
  if (!Tb->SetInt(CatalogueField::CREDITS, credits) || !Tb->Post()) {
    LogDiag("counters", "cannot count the play: " + Tb->LastError());
    Tb->Cancel();
    return false;
  }
  return SaveCounters(map, c);
}

}  // namespace cs
