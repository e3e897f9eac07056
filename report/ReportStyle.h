// The report page's style sheet, inline in every page: light and dark colours from the reader's setting,
// a print style, and the pictures' colours by class (hb bars, hp polygon, hc cumulative line, ax axes).
// Sections far from view are laid out only when scrolled to, so a page of 2,000 fields opens quickly.
#pragma once

namespace sumora::report {

inline constexpr const char* kReportStyle =
    ":root{--bg:#fff;--fg:#1c2430;--mut:#5d6878;--line:#dfe3ea;--card:#f7f9fc;--bar:#86afdc;--poly:#d45d1e;"
    "--cum:#23845a;--err:#a8261b;--errbg:#fdeceb}"
    "@media(prefers-color-scheme:dark){:root{--bg:#121519;--fg:#e3e7ed;--mut:#98a2b1;--line:#2b313a;--card:#1a1f26;"
    "--bar:#4a79b0;--poly:#f39057;--cum:#5fcb8f;--err:#ff9b91;--errbg:#3b1f1d}}"
    "*{box-sizing:border-box}html{background:var(--bg)}"
    "body{margin:0 auto;max-width:1200px;padding:24px;color:var(--fg);"
    "font:14px/1.45 system-ui,-apple-system,'Segoe UI',Roboto,'Liberation Sans',sans-serif}"
    "h1{font-size:24px;margin:0 0 2px;overflow-wrap:anywhere}h2{font-size:18px;margin:0 0 10px;overflow-wrap:anywhere}"
    "h3{font-size:14px;margin:14px 0 6px}"
    ".sub,.cls,small,.null,figcaption,.key{color:var(--mut)}.cls{font-size:13px;font-weight:400;margin-left:10px}"
    "section{background:var(--card);border:1px solid var(--line);border-radius:8px;padding:16px 20px;margin:16px 0;"
    "content-visibility:auto;contain-intrinsic-size:auto 560px}"
    ".cols{display:flex;flex-wrap:wrap;gap:14px 32px;align-items:flex-start}"
    "table{border-collapse:collapse;font-variant-numeric:tabular-nums}"
    "th,td{padding:2px 10px;border-bottom:1px solid var(--line);vertical-align:top}"
    "th{text-align:left;font-weight:500;color:var(--mut)}td{text-align:right}"
    "thead th{color:var(--fg);font-weight:600;border-bottom:2px solid var(--line);text-align:right}"
    "caption{text-align:left;font-weight:600;padding:0 10px 4px;white-space:nowrap}.grp thead "
    "th:first-child{text-align:left}"
    ".tx td,.tx th{text-align:left;overflow-wrap:anywhere;max-width:32em}"
    ".wide{overflow-x:auto;max-width:100%;margin-bottom:14px}.top td+td{text-align:right}"
    "nav{display:grid;grid-template-columns:repeat(auto-fill,minmax(12em,1fr));column-gap:18px;max-height:22em;"
    "overflow-y:auto;font-size:13px}nav a{display:block;overflow:hidden;text-overflow:ellipsis;"
    "white-space:nowrap}a{color:inherit}"
    ".err{color:var(--err);background:var(--errbg);padding:6px 10px;border-radius:6px;overflow-wrap:anywhere}"
    "pre{white-space:pre-wrap;overflow-wrap:anywhere;margin:0;font-size:13px}"
    "svg text{fill:var(--mut);font-size:10px}.hist{width:520px;max-width:100%;height:auto}"
    ".mini{width:240px;height:48px;display:block}"
    ".hb{fill:var(--bar)}.hp,.hc,.ax{fill:none;stroke-width:1.5}.hp{stroke:var(--poly)}"
    ".hc{stroke:var(--cum);stroke-dasharray:5 3}.ax{stroke:var(--mut);stroke-width:.8}"
    ".key{font-size:12px;margin:2px 0 0 48px}.key i{display:inline-block;width:14px;height:3px;margin:0 5px 3px 12px;"
    "vertical-align:middle}.key i:first-child{margin-left:0}.kb{background:var(--bar);height:9px!important}"
    ".kp{background:var(--poly)}.kc{background:var(--cum)}"
    ".minis{display:flex;flex-wrap:wrap;gap:12px 22px}figure{margin:0}figcaption{font-size:12px}"
    // Last, so that it wins over the rules above.
    "@media print{:root{--bg:#fff;--fg:#000;--mut:#444;--line:#bbb;--card:#fff;--bar:#9bb7d8;--poly:#c2410c;"
    "--cum:#15803d;--err:#a8261b;--errbg:#fff}.toc{display:none}"
    "section{break-inside:avoid;border-radius:0;content-visibility:visible}body{max-width:none;padding:0}}";

}  // namespace sumora::report
