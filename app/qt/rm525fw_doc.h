#pragma once

namespace rm525::gui {

// The document of the single-document window: it holds nothing. Making a new
// one (at start, Ctrl+N, Ctrl+O) only gives the view a fresh initial update,
// which schedules the update procedure again.
class CRm525fwDoc {
public:
    bool OnNewDocument() { return true; }
};

}  // namespace rm525::gui
