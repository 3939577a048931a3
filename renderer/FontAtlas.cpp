// Font store: bodies in progress.
#include "renderer/FontAtlas.h"

#include <cstddef>
#include <cstdlib>

void* fa__tmpalloc(size_t, void*) { return nullptr; }
void fa__tmpfree(void*, void*) {}

FAcontext* faCreateInternal(FAparams*) { return nullptr; }
void faDeleteInternal(FAcontext*) {}
void faSetErrorCallback(FAcontext*, void (*)(void*, int, int), void*) {}
void faGetAtlasSize(FAcontext*, int* w, int* h) { if (w) *w = 0; if (h) *h = 0; }
int faExpandAtlas(FAcontext*, int, int) { return 0; }
int faResetAtlas(FAcontext*, int, int) { return 0; }
const unsigned char* faGetTextureData(FAcontext*, int*, int*) { return nullptr; }
int faValidateTexture(FAcontext*, int*) { return 0; }
int faAddFont(FAcontext*, const char*, const char*, int) { return -1; }
int faAddFontMem(FAcontext*, const char*, unsigned char*, int, int, int) { return -1; }
int faGetFontByName(FAcontext*, const char*) { return -1; }
int faAddFallbackFont(FAcontext*, int, int) { return 0; }
void faPushState(FAcontext*) {}
void faPopState(FAcontext*) {}
void faClearState(FAcontext*) {}
void faSetSize(FAcontext*, float) {}
void faSetColor(FAcontext*, unsigned int) {}
void faSetSpacing(FAcontext*, float) {}
void faSetBlur(FAcontext*, float) {}
void faSetAlign(FAcontext*, int) {}
void faSetFont(FAcontext*, int) {}
float faDrawText(FAcontext*, float x, float, const char*, const char*) { return x; }
float faTextBounds(FAcontext*, float, float, const char*, const char*, float*) { return 0; }
void faLineBounds(FAcontext*, float, float*, float*) {}
void faVertMetrics(FAcontext*, float*, float*, float*) {}
int faTextIterInit(FAcontext*, FAtextIter*, float, float, const char*, const char*, int) { return 0; }
int faTextIterNext(FAcontext*, FAtextIter*, FAquad*) { return 0; }
void faDrawDebug(FAcontext*, float, float) {}
