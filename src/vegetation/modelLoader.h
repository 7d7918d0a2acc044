// modelLoader.h -- reads plant model files into ObjectList records.
//
// Provides: modelDirectory, modelTextureSource, loadObjectList,
// readObjectList, parseObject, parsePolygon, attributeValue, readIntTriple,
// and the limits the reader enforces.
//
// A model file has one tag per line, outermost first:
//   <ObjectList numObject="1" alpha="0.5" scale="1 1 1" rotation="90 1 0 0">
//     <Object numPolygon="1">
//       <Polygon numVertex="3" isTextured="1" texture="leaf.tga" colour="255 255 255">
//         <Vertex point="0 0 0" normal="0 1 0" colour="255 255 255" uv="0 0"/>
//         ... one Vertex line per vertex ...
//       </Polygon>
//     </Object>
//   </ObjectList>
// The reader is a line scanner: each line is tested for fixed substrings in a
// fixed order and attribute values are cut out of the line by position
// (name, '=', '"', value, '"'). Because "<ObjectList" contains "<Object", an
// ObjectList line without a rotation attribute also starts the first Object;
// the object count comes out the same either way.
//
// Malformed files never crash the program or read outside an array: lines
// longer than the buffers are cut, counts that are missing, not positive or
// beyond the limits below are refused (the element then keeps no children),
// elements beyond their count are read and dropped with a message, counts
// larger than the elements present shrink to what was read, and missing
// attributes keep their defaults (not textured, texture 0, white, zero
// vectors). A file that cannot be opened -- missing, unreadable, a
// directory or a pipe (refused before reading, so it never blocks) -- prints
// "File %s couldn't be opened: reason" and gives an empty model; so does a
// file that holds no objects (empty, NUL bytes, no <ObjectList>), with
// "Cannot load plant model NAME: reason". The caller decides what the scene
// does without it.
//
// Textures are requested through modelTextureSource (the registry's
// getTexture), so the textureBrighten flag in force during the load applies
// to every texture registered for the first time.
// Main thread, at scene set-up.
#pragma once

#include <cstdio>

#include "vegetation/model.h"

constexpr int modelListLineSize = 512;   // ObjectList level: 511 characters per line
constexpr int modelElementLineSize = 1000;  // inside Object and Polygon: 999 characters
constexpr int maxModelObjects = 1000;
constexpr int maxModelPolygons = 100000;
constexpr int maxModelVertices = 100;

// Directory part of the model file being read, up to and including its last
// backslash (a forward slash does not separate directories); empty when the
// name has none. Texture names are resolved against it. Written by the loader.
extern char modelDirectory[1000];

// Where texture names come from: getTexture (textureRegistry.h) unless a
// test or the fuzz target puts its own lookup here.
using ModelTextureSource = unsigned (*)(const char* fileName);
extern ModelTextureSource modelTextureSource;

// Reads one model file. Creates the texture registry first (it must ignore
// a second creation). An empty model (numObject 0) when the file cannot be
// opened or holds no objects, with the reason printed.
ObjectList loadObjectList(const char* fileName);

// The scanner of loadObjectList on an already open file; fileName sets
// modelDirectory and names the file in messages. Does not close the file.
ObjectList readObjectList(FILE* file, const char* fileName);

// One Object (or Polygon) element, starting from the line that opened it.
Object parseObject(FILE* file, const char* line);
Polygon parsePolygon(FILE* file, const char* line);

// value = the text after name=" up to the next double quote, or empty when
// name is not on the line. value must hold modelElementLineSize characters.
void attributeValue(const char* line, const char* name, char* value);

// The three blank-separated integers of an attribute such as colour="1 2 3".
void readIntTriple(const char* line, const char* name, int triple[3]);
