#pragma once

#include <QString>

/// The system's password store as another program sees it, for the tests' mail password entry.
namespace StoreView {

/// The service the tests' entry belongs to.
QString service();
/// The store as the program's texts name it, without article.
QString name();
/// What the store holds for the mail password; empty for nothing.
QString held();
/// Puts @p password there as another program would.
void seed(const QString& password);
/// Removes the tests' entry, if the store outlives the test.
void clear();

} // namespace StoreView
