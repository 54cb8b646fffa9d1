// The choice of the dialect the block scanner reads a line in, by the controller in force.
#pragma once

#include "nc/block_scanner.h"
#include "nc/dialect_heidenhain.h"
#include "nc/dialect_mazak.h"
#include "nc/dialect_osp.h"
#include "nc/dialect_siemens.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"

namespace mirexa {

struct NcSession;

// The common word-address scanner alone (no hooks): the dialect of a plain controller.
extern const ScannerDialect PlainScanner;

// The dialect of the controller in force: HEIDENHAIN, SIEMENS, OSP or MAZAK by the controller's
// flags, otherwise the plain scanner. Inline: asked once for every block.
inline const ScannerDialect& ActiveScannerDialect(NcSession& session) {
    const NcControllerView& c = session.controller;
    if (c.dialect.heidenhain) {
        return HeidenhainScanner;
    }
    if (c.dialect.siemens) {
        return SiemensScanner;
    }
    if (c.dialect.osp) {
        return OspScanner;
    }
    if (c.dialect.mazak) {
        return MazakScanner;
    }
    return PlainScanner;
}

}  // namespace mirexa
