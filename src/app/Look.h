#pragma once

class QApplication;

// What every window of the tool shares in its look: a keyboard focus that is clearly
// visible and unlike the default button's frame, and a clearly marked current entry in
// lists and grids.
void applyLook(QApplication& app);
