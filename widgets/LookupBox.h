#pragma once

#include "GridColumn.h"

#include <QComboBox>

class QStandardItemModel;
class QTreeView;

namespace lerk {

// A drop-down of the rows of another dataset in several columns; the key field's value is the
// choice. The code can be typed; text that is not a key is kept only where free text is allowed.
class LookupBox : public QComboBox
{
    Q_OBJECT
public:
    explicit LookupBox(QWidget *parent = nullptr);

    // Reads the list's rows (lookup lists are code tables: every row is read).
    void setLookup(const LookupList &lookup);
    const LookupList &lookup() const { return m_lookup; }

    void setKey(const QVariant &key);
    // The chosen key; for a typed text that is no key: the text when free text is allowed, otherwise
    // nullopt. An empty text is an empty key.
    std::optional<QVariant> key() const;
    void reload();

    void showPopup() override;

private:
    LookupList m_lookup;
    QStandardItemModel *m_items;
    QTreeView *m_view;
};

} // namespace lerk
