#pragma once

// Seams for tests: scripted dialog answers, recorded message boxes, a resource folder of the
// test's choice, a way to boot and tear down the toolkit without an event loop, and the
// picture readers' shrinker fed directly.

#include "platform/Controls.h"
#include "platform/Picture.h"
#include "platform/picturefiles/PictureReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace planora {
class Control;
class Runtime;
class Window;
} // namespace planora

namespace planora::testing {

// Creates the toolkit headless (offscreen unless QT_QPA_PLATFORM says otherwise) and turns
// every modal dialog into a scripted one. Call once, from the test program's main, and keep
// the runtime until the tests have run.
std::unique_ptr<Runtime> startHeadless(int& argc, char** argv);

// The next open or save dialog returns this path, or cancels when given nothing.
void answerNextOpenDialog(std::optional<std::string> path);
void answerNextSaveDialog(std::optional<std::string> path);
// What the last save dialog proposed: its filter and default name.
struct SaveDialogRequest {
    std::string filter, defaultName;
};
std::optional<SaveDialogRequest> lastSaveDialog();
// The name filter that the last open dialog offered, as the toolkit sees it.
std::optional<std::string> lastOpenDialogFilter();
// Dialogs that were asked for while no answer was scripted (each then cancelled).
int unscriptedDialogs();

// Every message box text since the last clear, unhandled exceptions included.
const std::vector<std::string>& messages();
void clearMessages();

void setResourceFolder(std::optional<std::string> folder);
// How many files the resource folder was asked for since the last reset of the counter.
int resourceLoads();
void resetResourceLoads();

// The command line that the toolkit was given when it was created.
std::vector<std::string> toolkitArguments();

// Quit requests: whether Quit was called and with which code.
std::optional<int> quitCode();

// Delivers pending events: deferred deletions, repaints, posted events.
void processEvents();
// Closes every window without raising its Close event, releases the application object,
// forgets Quit requests and messages: the state of a process that has not started.
void resetRuntime();

// What the control shows on screen right now, rendered into a picture of its size.
Picture grab(const Control& control);
Picture grab(const Window& window);
// What the edit field shows when it is not focused, with this text and the caret before the
// character at that index: the toolkit's plain field of the same size, font and alignment,
// rendered into a picture. With caret 0 it shows the text from its first character.
Picture renderEditField(const Control& field, std::string_view text, int caret);

// The screen's available area, a window's frame and a control's place, in screen coordinates.
Bounds availableArea();
Bounds frameOf(const Window& window);
Bounds onScreen(const Control& control);

// Minimises the window as its minimise button would; whether it is minimised now.
void minimise(Window& window);
bool isMinimised(const Window& window);
// Whether the window is the active one, the one that gets the keys.
bool isActive(const Window& window);
// Makes the window the active one, or no window at all, as the window system reports it. No
// window is active, for example, for a moment after a dialog has closed without a window manager.
void activate(Window* window);

// From now on modal dialogs open for real (nothing scripted) and each, once it is open, gets
// this key ("Escape", "Return"); with nothing, dialogs are scripted again.
void closeRealDialogsWith(std::optional<std::string> key);
// The titles of the windows that the real dialogs belonged to, in order ("" for none).
std::vector<std::string> realDialogOwners();

// Sends a key press (and release) to the focused widget of the window, as a user would; the
// toolkit handles it as a key from the keyboard (shortcuts first, then the focused widget).
// key is "Return", "Escape", "Tab", "Shift+Tab", "Up", "Down" or a shortcut like "Ctrl+O".
void pressKey(Window& window, const std::string& key);
// Types text into the control, which first gets the keyboard focus.
void typeText(Control& control, const std::string& text);
// Clicks the control with the mouse.
void click(Control& control);
// Moves the keyboard focus on as the user does: presses Tab in the window.
void focusNext(Window& window);
// What the window's menu bar shows: a line per menu title as the toolkit holds it ("&File"),
// each followed by its entries indented by two blanks, an entry's shortcut after a tab in the
// toolkit's portable spelling ("Ctrl+O"), a separator as "-".
std::vector<std::string> shownMenus(const Window& window);

// The names of the files (not folders) that the real open dialog lists in folder when it
// offers the registered file type named by filter (every file when the filter is empty),
// sorted. Opens the dialog without waiting for the user and closes it again.
std::vector<std::string> openDialogListing(const std::string& folder, std::string_view filter);

// The next save dialog is the toolkit's real one, modal as for the user, while the scripted
// answers wait. Its steps run one by one from the event loop: each after the one before has
// returned, or while a modal dialog that the one before opened (such as the question before a
// file is replaced) waits for the user. They act on the dialog in front through the functions
// below. A dialog still open five seconds after the last step is cancelled. It opens in folder
// when one is given, else where the toolkit's dialog opens by itself.
void runNextSaveDialog(std::vector<std::function<void()>> steps,
                       std::optional<std::string> folder = std::nullopt);
// The modal dialog in front: a message box's text, or a file dialog's file name field, the
// texts of its buttons without their "&" marks, and whether it is the active window, the one
// that the keyboard reaches.
struct FrontDialog {
    bool fileDialog = false;
    bool active = false;
    std::string text;
    std::vector<std::string> buttons;
};
std::optional<FrontDialog> frontDialog();
// Sends a key press (and release) to the focused widget of the modal dialog in front, as
// pressKey does for a window. Returns false when no modal dialog is open.
bool pressKeyInFrontDialog(const std::string& key);
// Types text, key by key, into the focused widget of the modal dialog in front.
bool typeInFrontDialog(const std::string& text);
// Clicks the button of the modal dialog in front whose text, without "&", is label.
bool clickInFrontDialog(const std::string& label);

// The shrinker that the picture readers hand their rows to, fed directly: feed is called once
// and hands it the rows of a source of the given size, in any order the readers may use,
// through the sink. The shrinker uses vectors of at most vectorBits bits (0: plain code; the
// processor may have fewer). Returns the shrunk picture, of the target's size.
class ShrinkerSink {
public:
    // source.width pixels as 0xffRRGGBB; the top byte is not read.
    virtual void addRow(std::int64_t y, const std::uint32_t* pixels) = 0;
    // source.width pixels of three bytes each: blue, green, red.
    virtual void addBgrRow(std::int64_t y, const std::uint8_t* pixels) = 0;
    // A row whose every pixel is the given one.
    virtual void addUniformRow(std::int64_t y, std::uint32_t pixel) = 0;

protected:
    ~ShrinkerSink() = default;
};
Picture shrinkRows(PixelSize source, PixelSize target, int vectorBits,
                   const std::function<void(ShrinkerSink&)>& feed);

} // namespace planora::testing
