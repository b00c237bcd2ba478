// Whole-project layout helpers of the editor's quick commands: the box an object takes in
// the scene (after its size, rotation and position), "Arrange" (every object on the work
// area without overlapping boxes, largest first) and "Scale to fit" (one object scaled with
// its proportions kept until it fills the work area). They change only positions and sizes
// of the records; undo steps and log lines are the shell's business.
#pragma once

#include "project/project.h"

#include <string>
#include <vector>

// Gap kept between two arranged objects' boxes (scene units: 2 mm).
constexpr float kArrangeGap = 0.04f;

// The scene-space box of record `o` as drawn: the corners of its reference box through its
// drawing transform (move and scale re-derived from its size first). False for records
// that have no box (other types, models that could not be read).
bool ObjectWorldBox(const project::pObject& o, cMath::vector4* lo, cMath::vector4* hi);

// Places every object that has a box on the work area (x -1.3..1.3, z -1.8..1.8), largest
// footprint first, each at the free spot nearest the import corner, boxes at least
// kArrangeGap apart; rotation and height are kept. Objects that do not fit stay where they
// are and their indexes go to `left_out` (in index order). Returns true when any position
// changed.
bool ArrangeObjects(project& proj, std::vector<int>* left_out);

// Scales object i by one factor on all axes so that its box fills the work area
// (2.6 x 0.8 x 3.6) along its tightest axis, sizes rounded down to whole millimetres, and
// centres it on the work area across x and z (its height is kept). False when i is not an
// object with a box; true otherwise.
bool ScaleObjectToFit(project& proj, int i);

// The size of a model in millimetres when every axis of it is under 1 mm (a file written in
// metres imports as a speck); false for anything larger, images and unreadable models.
bool IsTinyModel(const project::pObject& o, cMath::vector4* size_mm);

// The file name part of the path an object was loaded from ("cube.obj"), for messages.
std::string ObjectFileName(const project::pObject& o);
