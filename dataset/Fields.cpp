#include "dataset/Fields.h"

#include "dataset/RecordSource.h"

namespace sumora {

bool TField::IsNull() const { return source_->IsNull(column_); }
double TField::AsFloat() const { return source_->AsFloat(column_); }
std::string TField::AsString() const { return source_->AsString(column_); }

}  // namespace sumora
