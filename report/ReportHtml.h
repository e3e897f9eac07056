// The profile report page: one self-contained HTML5 file written from a report's data document.
//
// The data document (the same object `sumora report --format json` writes):
//   {"program": "sumora", "version": "0.1.0", "generated": "2026-12-08T12:00:00Z", "elapsedSeconds": 1.23,
//    "source": {"database": "...", "table": "..." or null, "sql": "..." or null},
//    "rows": N, "fields": [{"name": "...", "class": "TFloatField", "numeric": true}, ...],
//    "missingCells": n,                        // null cells over every field listed
//    "groupBy": null or "FIELD",
//    "summaries": [ ...the `summarize --format json` object of each numeric field, in field order, with
//                   "nullCount", "sourceText", "quantiles" [{"p", "value"}], "medianAll"; grouped: one per
//                   group and field, ordered by group then field, each with "groupBy" and "group";
//                   "error": "message" when its statistics failed (those it could not compute null)... ],
//    "profiles":  [ per field (per group and field when grouped):
//                   {"field": "...", ("group": ...,) "numeric": true, ...NumericProfile::ToJson()...} or
//                   {"field": "...", ("group": ...,) "numeric": false, "class": "TStringField",
//                    ...OtherProfile::ToJson()...} ]}
// Summaries are matched to fields by "StatFieldName", profiles by "field"; a field with neither is
// listed in the overview only. Missing keys show as "—".
//
// Every number the page shows sits in an element whose data-k names it in the embedded document: a
// JSON pointer when it starts with "/", else a path relative to the data-p of the closest element that
// has one. A browser test (or a reader) can so compare each shown number with the exact value.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace sumora::report {

// The page: overview, a section per field (or per field across the groups), and the document itself in
// <script type="application/json" id="sumora-data">. No scripts, no requests: inline CSS and SVG under a
// Content Security Policy that allows nothing else. Never throws for missing or mistyped keys; they show
// as "—".
std::string RenderReportHtml(const nlohmann::ordered_json& data);

}  // namespace sumora::report
