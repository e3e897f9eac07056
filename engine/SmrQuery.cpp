#include "engine/SmrQuery.h"

#include "engine/SmrWindows.h"

namespace sumora {

TSumoraQuery::TSumoraQuery(TComponent* owner) : TQuery(owner), TSumoraStats("TSumoraQuery") {}

TSumoraQuery::~TSumoraQuery() = default;

void TSumoraQuery::Output() { RunOutputWindow(*this); }

// The cut is by position only: "SELECT * FROM ORDERS" names " ORDERS". A first line of 13 characters
// or fewer gives an empty name; later lines are never looked at.
std::string TSumoraQuery::SourceName() const { return deleteStr(SQL().Strings(0), 1, 13); }

std::string TSumoraQuery::DatasetLine() const { return "Dataset Query: " + SQL().Strings(0); }

}  // namespace sumora
