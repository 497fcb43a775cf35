#pragma once

#include "platform/picturefiles/PictureFile.h"
