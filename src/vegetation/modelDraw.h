// modelDraw.h -- draws one loaded plant model at the current modelview.
//
// Provides: plantColour, alphaReference, setPlantColour, drawObjectList,
// drawObjectListFaded, drawObject, drawObjectFaded, applyPolygonState,
// drawPolygon, drawSharedTriangle.
//
// drawObjectList draws opaque with alpha testing through one display list per
// Object, compiled (GL_COMPILE_AND_EXECUTE) at the model's first opaque draw
// and replayed afterwards: the alpha reference and polygon colours in force
// at that first draw stay in the list, while plantColour is issued outside it
// and may change per plant. drawObjectListFaded draws in immediate mode with a
// global alpha for cross-fades and never builds lists.
//
// Every path enables the alpha test with GL_GREATER. State left behind on
// purpose (the plant passes rely on it): alpha test and blending disabled,
// face culling disabled, texture 0 or the object's texture bound, the current
// colour changed. Scale and rotation are pushed and popped around each model.
// Main thread, inside the frame, with the rendering context current.
#pragma once

#include "vegetation/model.h"

// Colour (0-255) in which models are drawn; written by plant placement per
// plant and by scene set-up. Main thread.
extern float plantColour[3];

// Reference of the GL_GREATER alpha test, default 0.6. A model with hasAlpha
// overwrites it each time it is drawn; the value then stays for every later
// draw until another such model is drawn. Main thread.
extern float alphaReference;

void setPlantColour(float red, float green, float blue);

// Opaque draw of the model through its objects' display lists.
void drawObjectList(const ObjectList& model);

// Immediate-mode draw with blending; alpha 0 (invisible) to 1 (opaque). The
// alpha test is scaled by alpha so texture cut-outs keep their shape while
// the model fades.
void drawObjectListFaded(const ObjectList& model, float alpha);

// The polygons of one object: one textured triangle per polygon when the
// object's polygons share one texture, else polygon by polygon.
void drawObject(const Object& object);
void drawObjectFaded(const Object& object, float alpha);

// Colour, blending and alpha-test state of one polygon.
void applyPolygonState(const Polygon& polygon);

// One triangle or quad, binding its own texture when textured; any other
// vertex count draws nothing.
void drawPolygon(const Polygon& polygon);

// The first three vertices as one triangle under the texture already bound;
// a polygon with fewer than three vertices draws nothing.
void drawSharedTriangle(const Polygon& polygon);
