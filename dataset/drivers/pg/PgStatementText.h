// The user's statement as the cursor wraps it. No libpq here, so a fuzz target can reach it in a build
// without the driver.
#pragma once

#include <string>
#include <string_view>

namespace sumora::pg {

// The statement without what may follow it and still leave one statement: blanks, semicolons and
// comments ("SELECT v FROM t; -- all rows" gives "SELECT v FROM t"). Quotes, quoted names, dollar
// quotes and comments are skipped as the server reads them, so a ';' or "--" inside them stays. Text
// after a semicolon that is more than blanks and comments stays too: the server then refuses the second
// statement.
std::string WithoutTrailingSeparators(std::string_view sql);

}  // namespace sumora::pg
