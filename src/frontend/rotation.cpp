#include "frontend/rotation.h"

#include <string>

#include "catalogue/catalogue_view.h"
#include "platform/log.h"

namespace cs {

namespace {

constexpr int kGamesPerRotation = 10;

// Retires the least played games in use and brings back those retired longest ago, inside the
// transaction the caller opened. False (with Tb's LastError) when a write fails.
bool ExchangeGames(Counters* c, CatalogueView* Tb) {
  // Retire: from the least played game in use upward. A posted row leaves the filtered view
  // and the view stays in its gap, so Prior() reaches the next least played game.
  if (!Tb->SetIndexName("iCredits")) return false;
  Tb->Last();
  for (int i = 0; i < kGamesPerRotation && Tb->HasRow(); ++i) {
    if (!Tb->Edit() || !Tb->SetText(CatalogueField::GROUP, kGroupAvailable) ||
        !Tb->SetInt(CatalogueField::COINS, c->iUpLevel) || !Tb->Post()) {
      return false;
    }
    if (!Tb->Prior()) break;  // no game in use before this one: every one is retired
  }
  if (c->iUpLevel < INT32_MAX) c->iUpLevel += 1;

  Tb->Close();
  Tb->SetFiltered(false);
  Tb->DeleteIndex("ICOINS");  // a missing index is no error here
  if (!Tb->AddIndex("iCoins", "COINS", IndexOptions{.caseInsensitive = true})) {
    // The order iCoins does not need the index; it is only slower without it.
    LogDiag("rotation", "cannot rebuild the index iCoins: " + Tb->LastError());
  }
  if (!Tb->Open() || !Tb->SetIndexName("iCoins")) return false;
  Tb->First();

  // Bring back: the lowest generations first, so games retired just now come last.
  for (int count = 1; count <= kGamesPerRotation && Tb->HasRow();) {
    if (Tb->ReadText(CatalogueField::GROUP) == std::string(kGroupAvailable)) {
      if (!Tb->Edit() || !Tb->SetInt(CatalogueField::CREDITS, 0) ||
          !Tb->SetText(CatalogueField::GROUP, kGroupInUse) || !Tb->Post()) {
        return false;
      }
      ++count;
    }
    if (!Tb->Next()) break;  // the last row of the table
  }
  Tb->Close();
  return Tb->Open();
}

}  // namespace

std::optional<int> RotationPeriodDays(std::int32_t iUpdatePer) {
  switch (iUpdatePer) {
    case 1:
      return 30;
    case 2:
      return 45;
    case 3:
      return 60;
    case 4:
      return 90;
    default:
      return std::nullopt;
  }
}

bool RotationDue(const Counters& c, Date today) {
  if (c.iUpdate != 1) return false;
  const auto period = RotationPeriodDays(c.iUpdatePer);
  return period && today.DaysSinceEpoch() - c.DtUpdate.DaysSinceEpoch() >= *period;
}

bool RotateGames(const DriveMap& map, const Clock& clock, Counters* c, CatalogueView* Tb) {
  Tb->SetFilter(CatalogueFilter::kInUse);
  Tb->SetFiltered(true);
  if (!Tb->Open()) {
    ShowMessageBox("Unable to open the game catalogue " + Tb->File().string() + ": " +
                   Tb->LastError());
    return false;
  }

  const Date today = clock.Today();
  if (RotationDue(*c, today)) {
    const Counters before = *c;
    c->DtUpdate = today;
    if (!Tb->StartTransaction() || !ExchangeGames(c, Tb) || !Tb->Commit()) {
      const std::string why = Tb->LastError();
      Tb->Rollback();
      c->DtUpdate = before.DtUpdate;
      c->iUpLevel = before.iUpLevel;
      Tb->SetFiltered(true);
      ShowMessageBox("Unable to rotate the game catalogue: " + why);
      return false;
    }
  }

  Tb->SetFiltered(true);
  Tb->SetIndexName("iCredits");
  if (!Tb->Open()) {
    ShowMessageBox("Unable to open the game catalogue " + Tb->File().string() + ": " +
                   Tb->LastError());
    return false;
  }
  Tb->Last();
  return SaveCounters(map, c);
}

}  // namespace cs
