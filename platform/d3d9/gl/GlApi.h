#pragma once
// OpenGL ES 3.0 and EGL, as the GL device includes them (nothing outside this folder does).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
