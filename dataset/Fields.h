// Field classes of a dataset. A field object names one column and reads the current record's value
// through its dataset's cursor; the class tells what kind of value the column holds.
#pragma once

#include <string>

#include "dataset/RecordSource.h"

namespace sumora {

class TField {
 public:
  TField(std::string fieldName, RecordSource* source, int column)
      : fieldName_(std::move(fieldName)), source_(source), column_(column) {}
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return fieldName_; }
  int Index() const { return column_; }
  virtual std::string ClassName() const { return "TField"; }

  // True when the current record holds no value (or NaN) in this field. Inline, as AsFloat: every
  // pass reads each record through both.
  bool IsNull() const { return source_->IsNull(column_); }
  // The current value as a double; raises EDatabaseError for text that is not a number or +-Inf.
  double AsFloat() const { return source_->AsFloat(column_); }
  std::string AsString() const { return source_->AsString(column_); }
  // AsString into `text` (its room reused), or false when IsNull(): one call where a pass keys on it.
  bool ReadText(std::string& text) const { return source_->ReadText(column_, text); }

 private:
  std::string fieldName_;
  RecordSource* source_;
  int column_;
};

// Numeric classes. A class derived from one of these counts as numeric too.
class TFloatField : public TField {
 public:
  using TField::TField;
  std::string ClassName() const override { return "TFloatField"; }
};
class TCurrencyField : public TFloatField {
 public:
  using TFloatField::TFloatField;
  std::string ClassName() const override { return "TCurrencyField"; }
};
class TIntegerField : public TField {
 public:
  using TField::TField;
  std::string ClassName() const override { return "TIntegerField"; }
};
class TSmallintField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
  std::string ClassName() const override { return "TSmallintField"; }
};
class TWordField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
  std::string ClassName() const override { return "TWordField"; }
};
class TAutoIncField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
  std::string ClassName() const override { return "TAutoIncField"; }
};
// 64-bit integers; read exactly through AsFloat as far as a double holds them.
class TLargeintField : public TIntegerField {
 public:
  using TIntegerField::TIntegerField;
  std::string ClassName() const override { return "TLargeintField"; }
};

// Non-numeric classes.
class TStringField : public TField {
 public:
  using TField::TField;
  std::string ClassName() const override { return "TStringField"; }
};
class TDateTimeField : public TField {
 public:
  using TField::TField;
  std::string ClassName() const override { return "TDateTimeField"; }
};
class TDateField : public TDateTimeField {
 public:
  using TDateTimeField::TDateTimeField;
  std::string ClassName() const override { return "TDateField"; }
};
class TBooleanField : public TField {
 public:
  using TField::TField;
  std::string ClassName() const override { return "TBooleanField"; }
};

}  // namespace sumora
