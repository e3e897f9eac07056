// The program's version, printed by `sumora --version` and written into reports.
#pragma once

#ifndef SUMORA_VERSION
#define SUMORA_VERSION "0.1.0"
#endif
