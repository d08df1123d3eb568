#pragma once

#include "Model/Enums.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

namespace ovlin {

class Milestone;
class StoreContext;

// The editing state of the reward editor: the form's values, whether they may be saved, and the write of
// them into a new or an existing reward. One per open editor; main thread only.
class MilestoneFormViewModel : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 defaultRequireDays = 10;
    static constexpr double defaultRequirePercent = 0.8;

    // With a reward its values are copied in (editing); without one the form starts empty (creating).
    MilestoneFormViewModel(std::shared_ptr<Milestone> existingMilestone, StoreContext *modelContext,
                           QObject *parent = nullptr);

    QString name() const;
    void setName(const QString &name);
    qint64 requireDays() const;
    void setRequireDays(qint64 days);
    // A fraction: 0.8 means 80 %.
    double requirePercent() const;
    void setRequirePercent(double fraction);
    // None: all habits.
    std::optional<ReminderCategory> linkedCategory() const;
    void setLinkedCategory(const std::optional<ReminderCategory> &category);
    QDateTime startDate() const;
    void setStartDate(const QDateTime &startDate);
    std::optional<QByteArray> thumbnailData() const;
    void setThumbnailData(const std::optional<QByteArray> &data);

    bool isEditing() const { return m_isEditing; }
    std::shared_ptr<Milestone> existingMilestone() const { return m_existingMilestone; }
    // The context saves go to. Replaceable: the editor starts on a placeholder and is handed the
    // application's context when it is shown.
    StoreContext *modelContext() const { return m_modelContext.data(); }
    void setModelContext(StoreContext *context);

    // The trimmed name is not empty and at least one day is required.
    bool isValid() const;
    // Writes the form into the existing reward, or inserts a new active one; then saves. Does nothing
    // while the form is not valid; a failed save is dropped (the changes stay in the context).
    void save();
    // The editor's Cancel: nothing has been written, so nothing to undo.
    void cancel();

    // Leading and trailing white space and line breaks removed.
    static QString trimmedName(const QString &name);

Q_SIGNALS:
    // After every write of a form value.
    void changed();

private:
    QString m_name;
    qint64 m_requireDays = defaultRequireDays;
    double m_requirePercent = defaultRequirePercent;
    std::optional<ReminderCategory> m_linkedCategory;
    QDateTime m_startDate;
    std::optional<QByteArray> m_thumbnailData;
    bool m_isEditing = false;
    QPointer<StoreContext> m_modelContext;
    std::shared_ptr<Milestone> m_existingMilestone;
};

} // namespace ovlin
