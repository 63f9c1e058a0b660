#pragma once

#include "stream_meter/MeterFigures.h"

namespace kestrova::tools {

// The stream meter on the libftdi1 backend: the real main window over the
// model of the bridge chip, the unit sending numbered frames back to back at
// the link's full rate, the real-time log on at its shortest interval (a
// line per frame). Prints CPU per thread; frames sent, stored, lost,
// repeated and out of order; bytes the chip dropped; log lines; and the
// latency from a frame's last byte entering the chip to the end of the
// paint that shows it. 0 when every frame sent was stored once, in order,
// with its log line, and the chip dropped nothing; 1 otherwise.
// User-interface thread; a QApplication must exist.
int MeterLibFtdi(const MeterOptions& options);

}  // namespace kestrova::tools
