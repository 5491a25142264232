#pragma once
// Ties the one document to the main window: creates the frame, the view and
// the sheet, and carries out New, Open, Save, Save As, the recent files and
// Exit, asking to save changes first where they would be lost. The title
// names the document, with an asterisk after the name while it has changes
// that are not saved.

#include <QString>
#include <memory>

#include "app/autosave.h"
#include "app/input_watch.h"
#include "app/recent_file_list.h"
#include "app/recovery_store.h"

class QLabel;

namespace halvorn {

class AppContext;
class CEditActions;
class CHalvornDoc;
class CHalvornView;
class CMainFrame;

inline constexpr int kRecentFileCount = 4;
inline const QString kDocumentFilter = QStringLiteral("HVN Document (*.hvn)");

class CSingleDocTemplate {
  public:
    // Frame, view and sheet over `context`; no document contents yet.
    // Recovery copies live in `recoveryFolder`.
    explicit CSingleDocTemplate(AppContext& context,
                                const QString& recoveryFolder = RecoveryStore::defaultFolder());
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    // Start-up: a new composition in the window, which is shown; then the
    // file named on the command line when there is one, so that a file that
    // cannot be opened is told of over the window. It leaves the new
    // composition.
    bool OpenStartupDocument(const QString& path);

    void FileNew();
    void FileOpen();
    bool FileSave();
    bool FileSaveAs();
    bool OpenDocumentFile(const QString& path);
    void About();

    // Asks "Save changes to <name>?" when the document or a page holds
    // changes. "Yes" stores the page's edits as its Save would, then saves;
    // false when the user cancels, a field refuses or the save fails. "No"
    // keeps the recovery copy: the caller removes it once the work it
    // protects has really gone (another document is open).
    bool SaveModified();
    // Offers, one by one, the work of programs that ended without saving it:
    // "Recover" opens it as a changed document, "Discard" deletes it, "Later"
    // keeps it for the next start.
    void OfferRecovery();
    // SIGTERM or SIGHUP: playback stops and a last recovery copy of any
    // changes is written, kept for the next start; the program then ends
    // without asking.
    void EndBySignal();

    CMainFrame& frame() const { return *frame_; }
    CHalvornView& view() const { return *view_; }
    CHalvornDoc& doc() const { return *doc_; }
    CEditActions& editActions() const { return *editActions_; }
    // Shown in the status bar while no recovery copy can be written.
    QLabel* recoveryIndicator() const { return recoveryIndicator_; }
    const RecentFileList& recentFiles() const { return recentFiles_; }
    RecoveryStore& recovery() { return recovery_; }
    Autosave& autosave() { return *autosave_; }

  private:
    bool SaveTo(const QString& path);
    // Answers one recovery copy; true when it was recovered.
    bool offer(OrphanCopy& orphan);
    void rememberFile(const QString& path);
    void forgetFile(const QString& path);
    // "<name> - Halvorn", with "*" after the name while there are changes;
    // with none anywhere, no recovery copy is kept either.
    void updateTitle();
    void createRecoveryIndicator();
    void recoveryFailed(const Error& error);
    void recoveryWritten();
    // Asks whether to delete a recovery copy for good.
    bool confirmDiscard(const QString& name);

    AppContext& context_;
    std::unique_ptr<CMainFrame> frame_;
    CHalvornView* view_;  // owned by the frame
    std::unique_ptr<CHalvornDoc> doc_;
    RecentFileList recentFiles_{kRecentFileCount};
    RecoveryStore recovery_;
    std::unique_ptr<Autosave> autosave_;
    CEditActions* editActions_;            // owned by the frame
    QLabel* recoveryIndicator_ = nullptr;  // owned by the status bar
    bool endingBySignal_ = false;          // the window closes without asking
    bool keepRecoveryCopy_ = false;        // ... and its changes wait for the next start
    InputWatch titleWatch_{[this] { updateTitle(); }};
};

}  // namespace halvorn
