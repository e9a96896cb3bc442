#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace lerk {

class Ui;

// A folder path: typed, chosen with a folder chooser (title and start folder), or dropped on it.
class DirectoryEdit : public QWidget
{
    Q_OBJECT
public:
    explicit DirectoryEdit(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    void setDialogTitle(const QString &title) { m_title = title; }
    // Where the chooser starts; empty: the folder in the box.
    void setStartFolder(const QString &folder) { m_start = folder; }
    void setUi(Ui *ui) { m_ui = ui; }
    void browse();

    QLineEdit *lineEdit() const { return m_edit; }
    QToolButton *browseButton() const { return m_button; }

signals:
    void changed(const QString &text);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QLineEdit *m_edit;
    QToolButton *m_button;
    QString m_title;
    QString m_start;
    Ui *m_ui = nullptr;
};

} // namespace lerk
