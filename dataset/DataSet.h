// Datasets: a cursor over the records of a table or of a query's result, with field objects,
// record count and the controls-disabled bracket. TQuery and TTable choose their data source from
// DatabaseName (see dataset/Drivers.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/Classes.h"
#include "dataset/Fields.h"
#include "dataset/RecordSource.h"

namespace sumora {

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner = nullptr);
  ~TDataSet() override;
  std::string ClassName() const override { return "TDataSet"; }

  bool Active() const { return source_ != nullptr; }
  // Opening an open dataset does nothing; closing a closed one does nothing. A failed open raises
  // EDatabaseError and leaves the dataset closed.
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  // Appends the names of all fields, in field order, to `list` (raises EDatabaseError when closed).
  void GetFieldNames(TStrings& list) const;
  // The field called `name` (case-insensitive); EDatabaseError "<dataset>: Field 'X' not found" when
  // there is none or the dataset is closed.
  TField& FieldByName(const std::string& name);
  // nullptr when there is no such field.
  TField* FindField(const std::string& name);
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int index) const;

  // Every pass calls these once per record, so they are inline.
  void First() {
    CheckActive();
    source_->First();
  }
  void Next() {
    CheckActive();
    source_->Next();
  }
  // True past the last record. (Named Eof: EOF is a macro of the C library.)
  bool Eof() const {
    CheckActive();
    return source_->Eof();
  }
  // See RecordSource::ReadNumbers: the numbers of several fields of the current record, NaN for null.
  void ReadNumbers(const std::vector<int>& columns, double* out) {
    CheckActive();
    source_->ReadNumbers(columns, out);
  }
  // Number of records; counted once after Open. Saturates at INT32_MAX for larger sources.
  int RecordCount() {
    CheckActive();
    const std::int64_t count = source_->RecordCount();
    return count > 2147483647 ? 2147483647 : static_cast<int>(count);
  }

  // Tells the data source that only `field` will be read until FocusField(nullptr), from the next
  // First() on; a pass over one field reads less that way. Unfocusing leaves the cursor on the first
  // record.
  void FocusField(const TField* field);
  // The same for several fields (a projection); an empty list unfocuses.
  void FocusFields(const std::vector<const TField*>& fields);

  // See RecordSource::ExpectRecords; does nothing on a closed dataset.
  void ExpectRecords(std::int64_t records) {
    if (source_ != nullptr) source_->ExpectRecords(records);
  }

  // See RecordSource::HoldSnapshot; does nothing on a closed dataset.
  void HoldSnapshot(bool hold) {
    if (source_ != nullptr) source_->HoldSnapshot(hold);
  }

  // The data source's own aggregation of `field`, or nullptr when it has none (RecordSource::Aggregation).
  AggregatingSource* Aggregation(const TField& field) {
    CheckActive();
    return source_->Aggregation(field.Index());
  }

  void DisableControls() { ++disableCount_; }
  void EnableControls() {
    if (disableCount_ > 0) --disableCount_;
  }
  bool ControlsDisabled() const { return disableCount_ > 0; }

 protected:
  // Builds the open cursor for this dataset's current properties. Raises EDatabaseError on failure;
  // nullptr leaves the dataset closed without an error.
  virtual std::unique_ptr<RecordSource> CreateSource() = 0;
  // Throws EDatabaseError when a property this dataset may not change while open is changed.
  void CheckInactive(const char* property) const;
  // The name messages start with: the component's name, escaped (a form may give it any bytes), or
  // the class name when it has none.
  std::string DisplayName() const;

 private:
  void CheckActive() const {
    if (source_ == nullptr) ThrowClosed();
  }
  [[noreturn]] void ThrowClosed() const;

  std::unique_ptr<RecordSource> source_;
  std::vector<std::unique_ptr<TField>> fields_;
  // Fields by their lower-case name (the first of names equal but for case), so that a table of
  // tens of thousands of columns is looked up in constant time per name.
  std::unordered_map<std::string, TField*> fieldsByLowerName_;
  int disableCount_ = 0;
  // FieldByName is called for every record; remembering the last answer keeps it cheap.
  mutable std::string lastLookupName_;
  mutable TField* lastLookupField_ = nullptr;
};

// A dataset holding the result of an SQL statement. Opening runs the SQL.
class TQuery : public TDataSet {
 public:
  explicit TQuery(TComponent* owner = nullptr) : TDataSet(owner) {}
  std::string ClassName() const override { return "TQuery"; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string name);
  TStrings& SQL() { return sql_; }
  const TStrings& SQL() const { return sql_; }

 protected:
  std::unique_ptr<RecordSource> CreateSource() override;

 private:
  std::string databaseName_;
  TStringList sql_;
};

// A dataset holding every record of one table.
class TTable : public TDataSet {
 public:
  explicit TTable(TComponent* owner = nullptr) : TDataSet(owner) {}
  std::string ClassName() const override { return "TTable"; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string name);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(std::string name);

 protected:
  std::unique_ptr<RecordSource> CreateSource() override;

 private:
  std::string databaseName_;
  std::string tableName_;
};

}  // namespace sumora
