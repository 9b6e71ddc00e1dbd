#pragma once

#include "templates/TemplateFolder.h"
#include "ui/CommandDialog.h"

#include <QString>

#include <optional>

class QKeyEvent;
class QLineEdit;

namespace lumavo {

class CShockwaveFlash;

// The program's main window: frameless and full screen, with the template
// album, the music strip and the template-name box. A pick in the album
// (FSCommand "bt") puts the name in the box; Enter opens the photo layout
// window for that template; Esc ends the program.
class CTemplateBrowserDlg : public CCommandDialog {
    Q_OBJECT
public:
    explicit CTemplateBrowserDlg(QWidget* parent = nullptr);
    ~CTemplateBrowserDlg() override;

    // Shows the splash, sets the window up, starts the movies, runs modally.
    int exec() override;

    void OnAlbumCommand(const QString& command, const QString& args);
    void OnEnterTemplate();
    void OnCancelBrowser();
    // "用相片选版": asks for the customer's photo once and shows it in every
    // template of the album; the layout window then opens with it selected.
    void OnChoosePhoto();
    // Shows the photo in the album without asking (what the photo dialog's OK does).
    void ShowPhotoInAlbum(const QString& photoPath);
    // The photo the album shows in every template; empty before
    // "用相片选版" and after a photo that could not be read.
    QString TrialPhoto() const;

    QLineEdit* NameBox() const { return m_nameBox; }
    CShockwaveFlash* Album() const { return m_album; }
    CShockwaveFlash* Player() const { return m_player; }
    // The folder the last "enter" built.
    const std::optional<TemplateFolder>& Folder() const { return m_folder; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void InitDialog();
    void StartMovies();
    // Hands an album key (arrows, Page Up/Down) pressed in the name box to
    // the album, which takes the focus; false when the box keeps it.
    bool PassKeyToAlbum(QKeyEvent* event);

    std::optional<TemplateFolder> m_folder;
    QLineEdit* m_nameBox = nullptr;
    CShockwaveFlash* m_album = nullptr;
    CShockwaveFlash* m_player = nullptr;
    // The operator has typed in the name box since the album's last pick.
    bool m_nameTyped = false;
};

} // namespace lumavo
