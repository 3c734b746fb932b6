#include "ui/modepages/mode_page_widget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "modepages/mode_page.h"

namespace {

const char* const kColumnHeadings[kColumnCount] = {"Current", "Saved", "Default"};
// Over the numbers, which the fields show and take in hexadecimal.
const char* const kNumberHeadings[kColumnCount] = {"Current (hex)", "Saved (hex)", "Default (hex)"};

QLabel* Heading(const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

class CModePageWidget::LineEditField final : public EditField {
public:
    explicit LineEditField(QLineEdit* edit) : edit(edit) {}
    std::string Text() const override { return edit->text().toStdString(); }
    void SetText(const std::string& text) override { edit->setText(QString::fromStdString(text)); }
    void SetReadOnly(bool readOnly) override
    {
        edit->setReadOnly(readOnly);
        // Restyle so a locked field looks locked.
        edit->style()->unpolish(edit);
        edit->style()->polish(edit);
    }
    void FocusAndSelect() override
    {
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
    QLineEdit* edit;
};

class CModePageWidget::CheckBoxField final : public CheckField {
public:
    explicit CheckBoxField(QCheckBox* box) : box(box) {}
    bool Checked() const override { return box->isChecked(); }
    void SetChecked(bool checked) override { box->setChecked(checked); }
    void SetReadOnly(bool readOnly) override { box->setEnabled(!readOnly); }
    QCheckBox* box;
};

CModePageWidget::CModePageWidget(CModePage& page, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), page(page)
{
    setObjectName(QString::number(page.Table().dialogId));
    setStyleSheet(QStringLiteral("QLineEdit[readOnly=\"true\"] { background: palette(window); }"));
    Build();
    page.AttachControls(this, &prompts);
}

CModePageWidget::~CModePageWidget()
{
    page.AttachControls(nullptr, nullptr);
}

void CModePageWidget::Build()
{
    auto* fields = new QHBoxLayout;
    fields->addWidget(BuildNumbers(), 0, Qt::AlignTop);
    fields->addSpacing(24);
    fields->addWidget(BuildBits(), 0, Qt::AlignTop);
    fields->addStretch(1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    const char* const texts[3] = {kSaveSaveableText, kSaveCurrentText, kRefreshText};
    for (size_t i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(texts[i]));
        const int id = page.Table().buttons[i];
        button->setObjectName(QString::number(id));
        button->setAutoDefault(false);
        buttons[id] = button;
        row->addWidget(button);
    }
    connect(buttons[page.Table().buttons[0]], &QPushButton::clicked, this,
            [this] { emit SaveFinished(this, page.OnSaveSaveable(), Column::Saved); });
    connect(buttons[page.Table().buttons[1]], &QPushButton::clicked, this,
            [this] { emit SaveFinished(this, page.OnSaveCurrent(), Column::Current); });
    connect(buttons[page.Table().buttons[2]], &QPushButton::clicked, this, [this] { page.OnRefresh(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(row);
}

QWidget* CModePageWidget::BuildNumbers()
{
    auto* panel = new QWidget;
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    int row = 0;
    for (const ModeField& field : page.Fields()) {
        if (field.kind == FieldKind::Bit) continue;
        if (row == 0) {
            for (size_t column = 0; column < kColumnCount; ++column)
                grid->addWidget(Heading(kNumberHeadings[column]), 0, 1 + static_cast<int>(column));
            row = 1;
        }
        grid->addWidget(new QLabel(QString::fromUtf8(field.label)), row, 0);
        for (size_t column = 0; column < kColumnCount; ++column) {
            auto* edit = new QLineEdit;
            const int id = field.controls[column];
            edit->setObjectName(QString::number(id));
            const int width = edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (field.Digits() + 2) + 12;
            edit->setFixedWidth(std::max(width, 48));
            // No more digits than the field has, so no text stands for
            // another value.
            edit->setMaxLength(field.Digits());
            edit->setAlignment(Qt::AlignRight);
            edits[id] = std::make_unique<LineEditField>(edit);
            // The Default column is never edited.
            if (column == static_cast<size_t>(Column::Default)) edits[id]->SetReadOnly(true);
            grid->addWidget(edit, row, 1 + static_cast<int>(column), Qt::AlignHCenter);
        }
        ++row;
    }
    return panel;
}

QWidget* CModePageWidget::BuildBits()
{
    auto* panel = new QWidget;
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    for (const ModeField& field : page.Fields()) {
        if (field.kind != FieldKind::Bit) continue;
        if (row == 0) {
            for (size_t column = 0; column < kColumnCount; ++column)
                grid->addWidget(Heading(kColumnHeadings[column]), 0, static_cast<int>(column));
            row = 1;
        }
        for (size_t column = 0; column < kColumnCount; ++column) {
            auto* box = new QCheckBox;
            const int id = field.controls[column];
            box->setObjectName(QString::number(id));
            box->setAccessibleName(QString::fromUtf8(field.label));
            checks[id] = std::make_unique<CheckBoxField>(box);
            if (column == static_cast<size_t>(Column::Default)) box->setEnabled(false);
            grid->addWidget(box, row, static_cast<int>(column), Qt::AlignHCenter);
        }
        grid->addWidget(new QLabel(QString::fromUtf8(field.label)), row, static_cast<int>(kColumnCount));
        ++row;
    }
    return panel;
}

EditField* CModePageWidget::Edit(int controlId)
{
    const auto found = edits.find(controlId);
    return found == edits.end() ? nullptr : found->second.get();
}

CheckField* CModePageWidget::Check(int controlId)
{
    const auto found = checks.find(controlId);
    return found == checks.end() ? nullptr : found->second.get();
}

QPushButton* CModePageWidget::Button(int controlId) const
{
    const auto found = buttons.find(controlId);
    return found == buttons.end() ? nullptr : found->second;
}

void CModePageWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (initialised) return;
    // The page's dialog is created when it is first shown: fill, then lock.
    initialised = true;
    page.OnInitDialog();
    emit FirstShown(this);
}
