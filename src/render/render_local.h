// The GL view's own state: the context and what it detected, the frame
// hooks, the camera and the mouse drags. Only src/render reads and writes it
// (and the tests of the view); the window and the model drawing go through
// the functions of render.h.
#pragma once

#include "render/render.h"

#include <cstdint>

struct RenderLocal {
    // The context lives from the first GL_Init that succeeds to GL_Release;
    // texture names and programs live as long.
    GlSurface *glWindow = nullptr;  // the view control; set by the window that creates it
    bool glReady = false;           // a context exists and was made current once
    int32_t viewWidth = 1;          // the screen's pixels, at least 1
    int32_t viewHeight = 1;
    float viewScale = 1;                // the screen's pixels per window unit of the view (mouse positions)
    float projectionMatrix[16] = {};    // read back after GL_Init loads it
    bool compressionSupported = false;  // DXT blocks can go to GL as they are
    bool programsSupported = false;     // the lighting programs can be used
    int32_t vertexProgram = -1;         // program ids; -1 until loaded or after a failed load
    int32_t fragmentProgram = -1;

    // Frame hooks, set by the window (R_SetFrameHooks).
    void (*frameCallback)() = nullptr;  // the frame content; null: buffers are only swapped
    uint32_t frameSleepMs = 0;          // pause after each swap, milliseconds
    // Set by whoever changes the picture (selection, View toggles, drags,
    // resizes and exposes, uploads); the window's timer draws a frame only
    // while it is set, a drag is on or something on screen moves, and takes it.
    bool redrawPending = true;

    // The camera; the per-selection values it derives from are the preview's.
    float orbitAngles[3] = {};  // direction from the centre to the eye; stays (0, 0, 0)
    float eyeOrigin[3] = {};    // derived by R_PlaceEye
    float eyeAngles[3] = {};    // derived, yaw stored with 90 added
    float viewMatrix[16] = {};  // camera modelview, rebuilt every frame
    // The mouse: last point of a left or right drag, main window client pixels.
    int32_t mouseLeftLast[2] = {};
    int32_t mouseRightLast[2] = {};
    bool leftDragActive = false;
    bool rightDragActive = false;
};

extern RenderLocal r_local;
