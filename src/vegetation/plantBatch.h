// plantBatch.h -- opaque plant models gathered over a walk and drawn with a
// few vertex-array calls.
//
// Provides: plantBatching, plantWalkOnly, plantFlushCpuSeconds, plantInstanceMode, PlantInstanceMatrix,
// makeInstanceMatrix, multiplyInstanceMatrix, modelBatchable, beginPlantBatch,
// batchModel, flushPlantBatch, plantBatchOpen.
//
// With batching on, a walk over a plant set does not issue a matrix and a
// display list per plant. Each visible plant's model is transformed on the
// CPU (placement, scale, turn and the model's own scale and rotation) and its
// triangles are appended, coloured with that plant's plantColour, to one
// array per texture and alpha-test reference. flushPlantBatch draws each
// array with one glDrawArrays. The triangles, colours, textures and alpha
// test are those the display lists would replay, so the picture and the
// polygon count stay the same; only the order of opaque, alpha-tested
// triangles of one set changes, which the depth test makes invisible.
//
// Models whose objects all take the single-texture path (sameTexture) are
// grouped by texture: their triangles are alpha-tested with blending off, so
// their order does not show. A model with an object drawn polygon by polygon
// (blending on) keeps the walk's order instead: its polygons are appended in
// sequence, each with the state its display list gives it (texture, colour,
// blending), and consecutive polygons under one state are drawn with one
// call. The two kinds are never held at once: meeting the other kind flushes
// what was gathered, so blended polygons keep their place in the drawing
// order.
//
// The alpha reference of an object is the one in force at its first opaque
// draw (Object::drawnAlphaReference), whichever path drew it first, as the
// display lists keep it.
//
// Globals, main thread:
//   plantBatching      1 (default): plant sets are drawn batched; 0: one
//                      matrix and display list call per plant. Written by
//                      tests and bench programs that compare both paths.
//   plantWalkOnly      0 (default); 1: a batched walk places, culls, counts
//                      and transforms its plants but draws nothing, so a
//                      bench program can time the walk alone; 2: the same
//                      without the transforms (placement and culling
//                      alone). Written by bench programs.
//   plantFlushCpuSeconds  running total of the main thread's CPU seconds
//                      (util/threadClock.h) spent in flushPlantBatch: the
//                      plant pass's drawing calls, which the plant pass's
//                      own CPU time leaves out. Written by flushPlantBatch.
//   plantInstanceMode  true while drawPlantSet walks a set with batching on:
//                      the walk leaves the modelview alone and each plant
//                      carries its own transform. Written by drawPlantSet.
//
// The flush saves and restores the client vertex-array state it changes;
// like the display lists it leaves the alpha test and blending disabled,
// face culling disabled, the last array's texture bound and the current
// colour changed. Main thread, inside the frame, context current.
#pragma once

#include "vegetation/model.h"

extern int plantBatching;
extern int plantWalkOnly;
extern bool plantInstanceMode;
extern double plantFlushCpuSeconds;

// A 3 x 4 affine transform, row-major: row r is m[4r .. 4r + 3], the fourth
// column the translation.
struct PlantInstanceMatrix {
    float m[12];
};

// translate(x, y, z) * scale(scale) * turn(turn degrees about y), then, when
// a model is given, its own scale and rotation (the scale first, as
// drawObjectList issues them).
PlantInstanceMatrix makeInstanceMatrix(const ObjectList* model, float x, float y, float z, float scale,
                                       float turn);

// The matrix multiplied onto the current GL matrix (for the paths that still
// draw one plant at a time).
void multiplyInstanceMatrix(const PlantInstanceMatrix& matrix);

// Every object of the model takes the single-texture path (the grouped kind).
bool modelBatchable(const ObjectList& model);

// Starts gathering; plantBatchOpen() is true until the flush.
void beginPlantBatch();
bool plantBatchOpen();

// Appends the model's triangles under the transform, in the colour (0-255,
// truncated and cut to the low byte as glColor3ub is given it) where the
// display lists use it. Applies the model's alpha reference to
// alphaReference like an opaque draw. Returns true (every model is taken).
bool batchModel(const ObjectList& model, const PlantInstanceMatrix& matrix, const float colour[3]);

// Draws everything gathered (one glDrawArrays per texture and alpha
// reference in the order first met, or per run of the sequence) from a
// vertex buffer object where the driver has them, and empties the batch.
// The batch stays open when it was open.
void flushPlantBatch();

// Flushes and closes the batch.
void endPlantBatch();
