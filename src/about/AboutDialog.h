#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: the program's logo and twelve credit lines from the text table, in the run's
// language. Opened modally by the "About" buttons of the chooser and of the editor.
class Dialog_About : public QDialog {
    Q_OBJECT
public:
    explicit Dialog_About(QWidget* parent = nullptr);
    ~Dialog_About() override;

    // The credit lines of the text table, each followed by a line break, with an empty line
    // after the third, the fifth and the tenth.
    static QString CreditText();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OKButton = nullptr;

private:
    void Form_Load();
    void OKButton_Click();
};
