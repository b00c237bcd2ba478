// How busy the processors are at this moment, for work that may use a second thread only
// when a core would otherwise stand idle. An estimate: a system that cannot tell reports
// every core but one as idle.
#pragma once

namespace cpu {

// Cores with nothing to run right now, not counting the one the caller runs on.
unsigned IdleCoresNow();

}  // namespace cpu
