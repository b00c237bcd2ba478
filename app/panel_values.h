// The numbers of the value panel: stepping a value by the "+" and "-" buttons so that a
// value on the step grid stays exactly on it, the text a row shows for a value, and the
// cell width that keeps a row's text clear of its buttons.
// It neither draws nor reads input; the menus draw the rows with what it computes.
#pragma once

#include <string>

// The value after one step up (direction +1) or down (-1). A value that is the
// single-precision number nearest to a whole number of steps moves to the one nearest to
// the next whole number, so steps never drift ("55.000000mm" after 55 steps of 1 mm);
// any other value moves by the step.
float StepPanelValue(float value, float step, int direction);

// The shown number of a value in units of `unit` (0.02 scene units a millimetre, 1 a degree),
// "%f" style: the decimal with the fewest places (at most six) that reads back as the same
// single-precision value, so a value stored from "55 mm" shows 55.000000.
std::string FormatPanelNumber(float value, float unit);

// Cell width for a row's text of `advance` pixels at the full width `cell`, so that the text
// (and the ink of its last glyph) ends at least two pixels before `limit`; `cell` when it
// already does.
float PanelTextCellWidth(int advance, float cell, float limit);

// The text of a panel row: mode 0 Move, 1 Rotate, 2 Size; axis 0..2 for X, Y, Z; `value`
// the component in scene units or degrees, or null for the placeholder shown when nothing
// is selected ("X: 0.0mm").
std::string PanelRowText(int mode, int axis, const float* value);
