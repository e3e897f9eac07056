// Built-in type OIDs of the server catalog the driver maps; they never change between server versions.
#pragma once

#include <libpq-fe.h>

namespace sumora::pg {

constexpr Oid kBoolOid = 16;
constexpr Oid kNameOid = 19;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kTextOid = 25;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kMoneyOid = 790;
constexpr Oid kBpcharOid = 1042;
constexpr Oid kVarcharOid = 1043;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampTzOid = 1184;
constexpr Oid kNumericOid = 1700;

}  // namespace sumora::pg
