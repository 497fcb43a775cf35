#include "core/FileTypes.h"

namespace planora::FileTypes {

namespace {

std::shared_ptr<FileType> pText;
std::shared_ptr<FileType> pBmpJpgTiff;

std::vector<std::shared_ptr<FileType>>& allTypes() {
    static std::vector<std::shared_ptr<FileType>> all;
    return all;
}

} // namespace

std::shared_ptr<FileType> Text() {
    return pText;
}

std::shared_ptr<FileType> BmpJpgTiff() {
    return pBmpJpgTiff;
}

const std::vector<std::shared_ptr<FileType>>& pAllFileTypes() {
    return allTypes();
}

void Initialize() {
    pText = std::make_shared<FileType>();
    pText->Name("text");
    pText->Extensions("");
    pText->MacType("TEXT");
    pText->MacCreator("PLNR");
    pText->MimeType("");
    pText->Imported(true);
    pText->ConformsTo("");
    allTypes().push_back(pText);
    Text()->toString();

    pBmpJpgTiff = std::make_shared<FileType>();
    pBmpJpgTiff->Name("bmp/jpg/tiff");
    pBmpJpgTiff->Extensions(".bmp;.jfif;.jpe;.jpeg;.jpg;.tif;.tiff");
    pBmpJpgTiff->MacType("");
    pBmpJpgTiff->MacCreator("");
    pBmpJpgTiff->MimeType("");
    pBmpJpgTiff->Imported(true);
    pBmpJpgTiff->ConformsTo("");
    allTypes().push_back(pBmpJpgTiff);
    BmpJpgTiff()->toString();
}

void forget() {
    allTypes().clear();
    pText.reset();
    pBmpJpgTiff.reset();
}

} // namespace planora::FileTypes
