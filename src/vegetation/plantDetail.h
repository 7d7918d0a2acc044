// plantDetail.h -- which model a placed plant shows, billboards, culling.
//
// Provides: the scheme distances, drawPlant, drawPlantFade, drawCulledModel,
// drawCulledModelFaded, faceCamera, billboardAngle, PlantDrawHook, plantDrawHook; defines
// plantAlgorithm and plantPolygons (declared in plantSet.h).
//
// Schemes (plantAlgorithm): 1 full models; 2 crossed billboards (full where a
// set has none); 3 billboards turned toward the camera (full where a set has
// none); 4 by distance: full below 30, crossed billboard below 50, billboard
// beyond; 5 smooth: full below 15, full plus a billboard fading in between 15
// and 30, billboard plus the full model fading out between 30 and 40,
// billboard alone from 40. A set with only a billboard always shows it,
// turned toward the camera and culled at twice the scale. Distances are 3D,
// from getCameraPositionXYZ.
// Both plant operations run with the modelview already translated to the
// plant and scaled by its scale (placePlants); the rotation is applied here.
// While a batched walk runs (plantInstanceMode, plantBatch.h) the modelview
// is left alone instead: the plant's place, scale and turns are kept here and
// each drawn model is handed to the batch with that transform.
// Main thread, inside the frame.
#pragma once

#include "vegetation/plantSet.h"

constexpr float mixedFullLimit = 30.0f;    // scheme 4
constexpr float mixedCrossLimit = 50.0f;   // scheme 4
constexpr float smoothNearLimit = 15.0f;   // scheme 5
constexpr float smoothFarLimit = 30.0f;    // scheme 5
constexpr float smoothFadeOutBand = 10.0f; // scheme 5, after the far limit

// First pass: the opaque model chosen for this plant.
void drawPlant(const PlantSet& set, float x, float y, float z, float scale, float rotation);

// Second pass: the translucent half of a scheme-5 cross-fade (nothing under
// the other schemes or for sets without both a full model and a billboard).
void drawPlantFade(const PlantSet& set, float x, float y, float z, float scale, float rotation);

// Culls the placed model (box from its bounds and scale times cullScale,
// rotated test when the truncated angle is not 0); when visible draws it and
// adds its polygonTotal to plantPolygons.
void drawCulledModel(const ObjectList& model, float x, float y, float z, float cullScale, float angle);
void drawCulledModelFaded(const ObjectList& model, float x, float y, float z, float cullScale, float angle,
                          float alpha);

// Turns the modelview about the vertical axis so that a billboard at (x, z)
// faces a camera at (cameraX, cameraZ); returns the angle in degrees.
float faceCamera(float x, float z, float cameraX, float cameraZ);

// The angle faceCamera turns by, without turning anything.
float billboardAngle(float x, float z, float cameraX, float cameraZ);

// Observer of every model drawn by drawCulledModel (alpha 1) and
// drawCulledModelFaded, after culling, with the cull scale and angle they
// were given. Null in the program; tests set it.
using PlantDrawHook = void (*)(const ObjectList& model, float alpha, float cullScale, float angle);
extern PlantDrawHook plantDrawHook;
