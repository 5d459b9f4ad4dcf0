#include "player/VideoSetupDialog.h"

#include "platform/Debug.h"
#include "player/VideoSetupModel.h"

#include <SDL2/SDL.h>
#include <gtk/gtk.h>

#include <memory>
#include <vector>

namespace {

// The display's modes in the order the system lists them. The video subsystem is only borrowed for
// the query, so the program's own window later starts from a clean SDL state.
std::vector<DisplayMode> queryDisplayModes() {
    std::vector<DisplayMode> modes;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        debugLine("Video setup: no display modes: %s", SDL_GetError());
        return modes;
    }
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0)
            modes.push_back({mode.w, mode.h, static_cast<int>(SDL_BYTESPERPIXEL(mode.format))});
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return modes;
}

struct MainLoopRelease {
    void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};

// Runs the pending events until none is left and the display server has seen every request.
void drainEvents() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_display_sync(display);
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// The dialog's window: shows the model and forwards every click to it.
class SetupWindow {
public:
    explicit SetupWindow(VideoSetupModel& model);
    ~SetupWindow();
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    // Shows the dialog modally until Run or Cancel ends it.
    SetupOutcome run();

private:
    GtkWidget* addRow(GtkGrid* grid, int row, const char* text, GtkWidget* control,
                      GtkWidget** label = nullptr);
    GtkWidget* buildButtonRow();
    void connectSignals();
    bool handleKey(guint key);
    void showModel();
    void end(SetupOutcome outcome);

    VideoSetupModel& model_;
    std::unique_ptr<GMainLoop, MainLoopRelease> loop_{g_main_loop_new(nullptr, FALSE)};
    SetupOutcome outcome_ = SetupOutcome::Cancel;
    GtkWidget* window_ = nullptr;
    GtkWidget* resolution_ = nullptr;
    GtkWidget* fullscreen_ = nullptr;
    GtkWidget* alwaysOnTop_ = nullptr;
    GtkWidget* alwaysOnTopLabel_ = nullptr;
    GtkWidget* verticalSync_ = nullptr;
    GtkWidget* multisampling_ = nullptr;
    GtkWidget* runButton_ = nullptr;
    GtkWidget* cancelButton_ = nullptr;
};

SetupWindow::SetupWindow(VideoSetupModel& model) : model_(model) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_window_set_title(window, "Video setup");
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(window_), 14);

    GtkWidget* title = gtk_label_new("M O R V E L D A N");
    gtk_widget_set_halign(title, GTK_ALIGN_CENTER);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    gtk_widget_set_halign(grid, GTK_ALIGN_CENTER);
    resolution_ = addRow(GTK_GRID(grid), 0, "Resolution:", gtk_combo_box_text_new());
    fullscreen_ = addRow(GTK_GRID(grid), 1, "Fullscreen:", gtk_check_button_new());
    alwaysOnTop_ =
        addRow(GTK_GRID(grid), 2, "Always on top:", gtk_check_button_new(), &alwaysOnTopLabel_);
    verticalSync_ = addRow(GTK_GRID(grid), 3, "Vertical sync:", gtk_check_button_new());
    multisampling_ = addRow(GTK_GRID(grid), 4, "Multisampling:", gtk_check_button_new());

    for (std::size_t i = 0; i < model_.resolutions().size(); ++i)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(resolution_),
                                       model_.resolutionText(i).c_str());

    GtkWidget* layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_box_pack_start(GTK_BOX(layout), title, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(layout), grid, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(layout), buildButtonRow(), FALSE, FALSE, 6);
    gtk_container_add(GTK_CONTAINER(window_), layout);

    showModel();
    connectSignals();

    // Run is the default button and has the focus at the start.
    gtk_widget_set_can_default(runButton_, TRUE);
    gtk_window_set_default(window, runButton_);
    gtk_widget_grab_focus(runButton_);
}

SetupWindow::~SetupWindow() {
    gtk_widget_destroy(window_);
    drainEvents();
}

// One line of the form: the right-aligned label, its control to the right.
GtkWidget* SetupWindow::addRow(GtkGrid* grid, int row, const char* text, GtkWidget* control,
                               GtkWidget** labelOut) {
    GtkWidget* label = gtk_label_new(text);
    if (labelOut)
        *labelOut = label;
    gtk_label_set_xalign(GTK_LABEL(label), 1.0f);
    // Names the text-less control for assistive technology.
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), control);
    gtk_widget_set_halign(control, GTK_ALIGN_START);
    gtk_grid_attach(grid, label, 0, row, 1, 1);
    gtk_grid_attach(grid, control, 1, row, 1, 1);
    return control;
}

// "Run" at the left edge, "Cancel" at the right edge, both the same size and a little wider than
// their texts need.
GtkWidget* SetupWindow::buildButtonRow() {
    runButton_ = gtk_button_new_with_label("Run");
    cancelButton_ = gtk_button_new_with_label("Cancel");
    GtkSizeGroup* sameSize = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
    gtk_size_group_add_widget(sameSize, runButton_);
    gtk_size_group_add_widget(sameSize, cancelButton_);
    g_object_unref(sameSize);
    gtk_widget_set_size_request(runButton_, 86, -1);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(row), runButton_, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(row), cancelButton_, FALSE, FALSE, 0);
    return row;
}

void SetupWindow::connectSignals() {
    using Self = SetupWindow;
    g_signal_connect(resolution_, "changed", G_CALLBACK(+[](GtkComboBox* box, Self* self) {
                         self->model_.selectResolution(gtk_combo_box_get_active(box));
                     }),
                     this);
    g_signal_connect(fullscreen_, "toggled", G_CALLBACK(+[](GtkToggleButton* box, Self* self) {
                         self->model_.setFullscreen(gtk_toggle_button_get_active(box));
                         self->showModel();
                     }),
                     this);
    g_signal_connect(alwaysOnTop_, "toggled", G_CALLBACK(+[](GtkToggleButton* box, Self* self) {
                         self->model_.setAlwaysOnTop(gtk_toggle_button_get_active(box));
                         self->showModel();
                     }),
                     this);
    g_signal_connect(verticalSync_, "toggled", G_CALLBACK(+[](GtkToggleButton* box, Self* self) {
                         self->model_.setVerticalSync(gtk_toggle_button_get_active(box));
                     }),
                     this);
    g_signal_connect(multisampling_, "toggled", G_CALLBACK(+[](GtkToggleButton* box, Self* self) {
                         self->model_.setMultisampling(gtk_toggle_button_get_active(box));
                     }),
                     this);
    g_signal_connect(runButton_, "clicked",
                     G_CALLBACK(+[](GtkButton*, Self* self) { self->end(SetupOutcome::Run); }),
                     this);
    g_signal_connect(cancelButton_, "clicked",
                     G_CALLBACK(+[](GtkButton*, Self* self) { self->end(SetupOutcome::Cancel); }),
                     this);
    // The close button of the caption.
    g_signal_connect(window_, "delete-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, Self* self) -> gboolean {
                         self->end(SetupOutcome::Cancel);
                         return TRUE;
                     }),
                     this);
    g_signal_connect(window_, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, Self* self) -> gboolean {
                         return self->handleKey(key->keyval);
                     }),
                     this);
}

// Escape means Cancel. Enter presses Run wherever the focus is (the resolution list and the check
// boxes included), except on Cancel, which Enter presses itself.
bool SetupWindow::handleKey(guint key) {
    if (key == GDK_KEY_Escape) {
        end(SetupOutcome::Cancel);
        return true;
    }
    const bool enter = key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter;
    if (!enter || gtk_window_get_focus(GTK_WINDOW(window_)) == cancelButton_)
        return false;
    end(SetupOutcome::Run);
    return true;
}

// Puts the model's state into the controls.
void SetupWindow::showModel() {
    gtk_combo_box_set_active(GTK_COMBO_BOX(resolution_), model_.selectedResolution());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(fullscreen_), model_.fullscreen());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(alwaysOnTop_), model_.alwaysOnTop());
    // The label greys out with its box, so the disabled state is plain to see.
    gtk_widget_set_sensitive(alwaysOnTop_, model_.alwaysOnTopEnabled());
    gtk_widget_set_sensitive(alwaysOnTopLabel_, model_.alwaysOnTopEnabled());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(verticalSync_), model_.verticalSync());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(multisampling_), model_.multisampling());
}

void SetupWindow::end(SetupOutcome outcome) {
    outcome_ = outcome;
    gtk_widget_hide(window_);
    g_main_loop_quit(loop_.get());
}

SetupOutcome SetupWindow::run() {
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));
    g_main_loop_run(loop_.get());
    return outcome_;
}

} // namespace

bool runVideoSetupDialog(VideoSettings& settings) {
    // GTK would otherwise switch the C library to the user's locale, and with it the decimal
    // separator that number reading and writing elsewhere in the program rely on.
    gtk_disable_setlocale();
    if (!gtk_init_check(nullptr, nullptr)) {
        debugLine("Video setup: no display, the dialog is skipped");
        VideoSetupModel model(settings, {});
        return model.finish(SetupOutcome::NotShown, settings);
    }
    VideoSetupModel model(settings, queryDisplayModes());
    SetupOutcome outcome;
    {
        SetupWindow window(model);
        outcome = window.run();
    }
    return model.finish(outcome, settings);
}
