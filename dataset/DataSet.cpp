#include "dataset/DataSet.h"

#include <algorithm>
#include <cctype>

#include "dataset/Drivers.h"
#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::unique_ptr<TField> MakeField(const FieldDef& def, RecordSource* source, int column) {
  switch (def.type) {
    case TFieldType::ftSmallint: return std::make_unique<TSmallintField>(def.name, source, column);
    case TFieldType::ftInteger: return std::make_unique<TIntegerField>(def.name, source, column);
    case TFieldType::ftWord: return std::make_unique<TWordField>(def.name, source, column);
    case TFieldType::ftAutoInc: return std::make_unique<TAutoIncField>(def.name, source, column);
    case TFieldType::ftLargeint: return std::make_unique<TLargeintField>(def.name, source, column);
    case TFieldType::ftFloat: return std::make_unique<TFloatField>(def.name, source, column);
    case TFieldType::ftCurrency: return std::make_unique<TCurrencyField>(def.name, source, column);
    case TFieldType::ftBoolean: return std::make_unique<TBooleanField>(def.name, source, column);
    case TFieldType::ftDate: return std::make_unique<TDateField>(def.name, source, column);
    case TFieldType::ftDateTime: return std::make_unique<TDateTimeField>(def.name, source, column);
    case TFieldType::ftString: break;
  }
  return std::make_unique<TStringField>(def.name, source, column);
}

}  // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() = default;

std::string TDataSet::DisplayName() const { return Name().empty() ? ClassName() : ShownText(Name()); }

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  lastLookupName_.clear();
  lastLookupField_ = nullptr;
  if (!active) {
    fieldsByLowerName_.clear();
    fields_.clear();
    source_.reset();
    return;
  }
  std::unique_ptr<RecordSource> source = CreateSource();
  // A source may decline to open without an error; the dataset then stays closed, which callers
  // learn by reading Active.
  if (source == nullptr) return;
  std::vector<std::unique_ptr<TField>> fields;
  const auto& defs = source->Fields();
  for (std::size_t i = 0; i < defs.size(); ++i) {
    fields.push_back(MakeField(defs[i], source.get(), static_cast<int>(i)));
  }
  std::unordered_map<std::string, TField*> byName;
  byName.reserve(fields.size());
  for (const auto& field : fields) byName.emplace(Lower(field->FieldName()), field.get());
  source_ = std::move(source);
  fields_ = std::move(fields);
  fieldsByLowerName_ = std::move(byName);
}

void TDataSet::ThrowClosed() const {
  throw EDatabaseError(DisplayName() + ": Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive(const char* property) const {
  if (Active()) {
    throw EDatabaseError(DisplayName() + ": Cannot change " + property + " of an open dataset; close it first");
  }
}

void TDataSet::GetFieldNames(TStrings& list) const {
  CheckActive();
  for (const auto& field : fields_) list.Add(field->FieldName());
}

TField* TDataSet::FindField(const std::string& name) {
  if (lastLookupField_ != nullptr && name == lastLookupName_) return lastLookupField_;
  auto found = fieldsByLowerName_.find(Lower(name));
  if (found == fieldsByLowerName_.end()) return nullptr;
  lastLookupName_ = name;
  lastLookupField_ = found->second;
  return found->second;
}

TField& TDataSet::FieldByName(const std::string& name) {
  CheckActive();
  TField* field = FindField(name);
  if (field == nullptr) throw EDatabaseError(DisplayName() + ": Field '" + ShownText(name) + "' not found");
  return *field;
}

TField& TDataSet::Fields(int index) const {
  CheckActive();
  if (index < 0 || index >= FieldCount()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *fields_[static_cast<std::size_t>(index)];
}

void TDataSet::FocusFields(const std::vector<const TField*>& fields) {
  if (source_ == nullptr) return;
  std::vector<int> columns;
  for (const TField* field : fields) {
    if (field != nullptr) columns.push_back(field->Index());
  }
  source_->FocusColumns(columns);
}

void TDataSet::FocusField(const TField* field) {
  if (source_ != nullptr) source_->FocusColumn(field != nullptr ? field->Index() : -1);
}

void TQuery::SetDatabaseName(std::string name) {
  CheckInactive("DatabaseName");
  databaseName_ = std::move(name);
}

std::unique_ptr<RecordSource> TQuery::CreateSource() {
  std::string text = sql_.Text();
  bool blank = std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
  if (blank) throw EDatabaseError(DisplayName() + ": No SQL statement available");
  return OpenQuerySource(databaseName_, text);
}

void TTable::SetDatabaseName(std::string name) {
  CheckInactive("DatabaseName");
  databaseName_ = std::move(name);
}

void TTable::SetTableName(std::string name) {
  CheckInactive("TableName");
  tableName_ = std::move(name);
}

std::unique_ptr<RecordSource> TTable::CreateSource() {
  // A CSV file alone is a database of one table, which needs no name.
  if (tableName_.empty() && !IsCsvFileDatabase(databaseName_)) {
    throw EDatabaseError(DisplayName() + ": Missing TableName property");
  }
  return OpenTableSource(databaseName_, tableName_);
}

}  // namespace sumora
