#include "frontend/gemsets.h"

#include <cstdio>
#include <cstring>

#include "framework/KGraphicD3D.h"
#include "framework/KMiscTools.h"
#include "shell/files.h"

KGraphicD3D *gems[7] = {};
char bubbleSetName[256] = {};

namespace {
constexpr int kGemPictures = 7;
} // namespace

bool loadBubbleSet(long id) {
    char path[96];
    std::snprintf(path, sizeof(path), "data/gems/set%ld/name.txt", id);
    // A set exists when its name file opens; read it aside so that a missing set changes nothing.
    char name[sizeof(bubbleSetName)] = {};
    if (readRecordFile(KMiscTools::makeFilePath(path), name, sizeof(name) - 1) < 0)
        return false;
    std::memcpy(bubbleSetName, name, sizeof(bubbleSetName));

    for (int i = 1; i <= kGemPictures; i++) {
        delete gems[i - 1];
        gems[i - 1] = new KGraphicD3D;
        std::snprintf(path, sizeof(path), "data/gems/set%ld/gem0%i.tga", id, i);
        // A missing picture leaves an empty one: that colour simply draws nothing.
        gems[i - 1]->loadPicture(KMiscTools::makeFilePath(path), false, true);
        gems[i - 1]->setTextureQuality(true);
    }
    return true;
}

void freeBubbleSet() {
    for (KGraphicD3D *&gem : gems) {
        delete gem;
        gem = nullptr;
    }
}
