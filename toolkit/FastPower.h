// The second, third and fourth powers of one deviation, each exactly the double raiseTo returns, at a
// fraction of its cost. The moment passes take three powers of every value; through expl/logl alone
// that would cost more than reading the data twice.
#pragma once

namespace sumora {

struct Powers234 {
  double p2;
  double p3;
  double p4;
};

// {raiseTo(d, 2), raiseTo(d, 3), raiseTo(d, 4)}, bit for bit.
Powers234 RaisePowers234(double d);

}  // namespace sumora
