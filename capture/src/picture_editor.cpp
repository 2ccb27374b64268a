#include "picture_editor.h"

#include <climits>

#include "host.h"
#include "platform/os/cg.h"

namespace zuvshot {

bool IsDesktop = false;
bool IsConsole = false;

namespace cg = platform::cg;

void PictureEditor::Release() {
    if (descriptionLocked) {
        if (picture != nullptr) REALUnlockPictureDescription(picture);
        descriptionLocked = false;
    }
    if (picture != nullptr) {
        if (clearCacheOnRelease) REALPictureClearCache(picture);
        REALUnlockObject(picture);
        picture = nullptr;
    }
    rowBytes = width = height = bytesPerPixel = format = y = 0;
    cursor = rowBase = nullptr;
    rowPointers = nullptr;
    hasAlpha = false;
}

bool PictureEditor::GetPictureEditor(PluginPicture newPicture, ContextDrawing* drawing) {
    Release();
    if (newPicture == nullptr) return false;
    clearCacheOnRelease = true;

    if (!IsDesktop && !IsConsole) {
        // All three are asked for, whatever the first answer.
        const bool desktop = REALGetClassRef("Application") != nullptr;
        const bool web = REALGetClassRef("WebApplication") != nullptr;
        const bool console = REALGetClassRef("ConsoleApplication") != nullptr;
        if (desktop) {
            IsDesktop = true;
        } else if (console || web) {
            IsConsole = true;
        }
    }

    bool alpha = false;
    hasAlpha = REALGetPropValueBoolean(reinterpret_cast<PluginObject>(newPicture),
                                       "HasAlphaChannel", &alpha) &&
               alpha;

    if (!IsConsole) {
        if (LockPictureDescription(newPicture, &description, kPictureDescriptionBitmapContext)) {
            IsDesktop = true;
            return AttachDesktop(newPicture, drawing);
        }
        if (IsDesktop) {
            hasAlpha = false;
            return false;
        }
    }
    return AttachConsole(newPicture);
}

bool PictureEditor::AttachDesktop(PluginPicture newPicture, ContextDrawing* drawing) {
    auto fail = [&] {
        REALUnlockPictureDescription(newPicture);
        hasAlpha = false;
        return false;
    };
    if (description.handle == nullptr ||
        description.type != static_cast<int32_t>(kPictureDescriptionBitmapContext)) {
        return fail();
    }
    auto context = static_cast<cg::CGContextRef>(description.handle);
    const bool drawn = drawing != nullptr && drawing->draw != nullptr;
    if (drawn) {
        drawing->draw(context, drawing->state);
        drawing->drawn = true;
    }
    // A drawn picture is complete and gets no rows, so the editor leaves the
    // data address alone: whoever has it may write the pixels unseen, and the
    // context would stop knowing what it holds.
    auto* data = drawn ? nullptr : static_cast<unsigned char*>(cg::CGBitmapContextGetData(context));
    const size_t bitsPerPixel = cg::CGBitmapContextGetBitsPerPixel(context);
    const size_t contextWidth = cg::CGBitmapContextGetWidth(context);
    const size_t contextHeight = cg::CGBitmapContextGetHeight(context);
    const size_t bytesPerRow = cg::CGBitmapContextGetBytesPerRow(context);
    const uint32_t alphaInfo = static_cast<uint32_t>(cg::CGBitmapContextGetAlphaInfo(context)) & 7;

    int32_t code = 0;
    if (hasAlpha) {
        if (alphaInfo == 1 || alphaInfo == 2) code = static_cast<int32_t>(alphaInfo);
    } else if (alphaInfo >= 1 && alphaInfo <= 6) {
        code = static_cast<int32_t>(alphaInfo);
    }
    // The editor addresses rows and columns with 32-bit values.
    if (code == 0 || bitsPerPixel != 32 || (data == nullptr && !drawn) ||
        contextWidth > INT32_MAX || contextHeight > INT32_MAX || bytesPerRow > INT32_MAX) {
        return fail();
    }

    descriptionLocked = true;
    REALLockObject(newPicture);
    picture = newPicture;
    format = code;
    rowBytes = static_cast<int32_t>(bytesPerRow);
    rowBase = cursor = data;
    bytesPerPixel = 4;
    width = static_cast<int32_t>(contextWidth);
    height = static_cast<int32_t>(contextHeight);
    y = 0;
    return true;
}

bool PictureEditor::AttachConsole(PluginPicture newPicture) {
    if (!LockPictureDescription(newPicture, &description, kPictureDescriptionRowBuffer)) {
        hasAlpha = false;
        return false;
    }
    IsConsole = true;
    const void* record = description.handle;
    unsigned char** rows = record ? RowBufferReadRows(record) : nullptr;
    if (record == nullptr ||
        description.type != static_cast<int32_t>(kPictureDescriptionRowBuffer) ||
        RowBufferReadInt(record, kRowBufferZeroWordOffset) != 0 || rows == nullptr ||
        RowBufferReadInt(record, kRowBufferValidWordOffset) == 0 || description.width < 0 ||
        description.height < 0 || description.width > INT32_MAX / 4) {
        REALUnlockPictureDescription(newPicture);
        hasAlpha = false;
        return false;
    }
    REALLockObject(newPicture);
    picture = newPicture;
    descriptionLocked = true;
    format = 8;
    y = 0;
    width = description.width;
    rowBytes = 4 * width;
    bytesPerPixel = 4;
    height = description.height;
    rowPointers = rows;
    rowBase = cursor = height > 0 ? rows[0] : nullptr;
    return true;
}

PluginPicture PictureEditor::RenderPictureWriter() {
    PluginPicture result = picture;
    if (result != nullptr) {
        REALLockObject(result);
        REALPictureClearCache(result);
    }
    Release();
    return result;
}

bool AttachNewPicture(PictureWriter& writer, int64_t width, int64_t height,
                      ContextDrawing* drawing) {
    if (width < 1 || width > 32767 || height < 1 || height > 32767) return false;
    PluginPicture picture =
        REALNewPicture(static_cast<int32_t>(width), static_cast<int32_t>(height), 32);
    if (picture == nullptr) return false;
    const bool attached = writer.GetPictureEditor(picture, drawing);
    REALUnlockObject(picture);
    return attached;
}

}  // namespace zuvshot
