#pragma once
// The confirmation question of the migration names what the run will do
// with the records already in the destination: with "Svuota" they are
// deleted, without it the copied records are added to them, so a second
// run without "Svuota" doubles every table.

#include <string>
#include <vector>

#include "migrate/MigrationMap.h"

namespace migrate {

// Records now in the destination tables of the steps, -1 when they cannot
// be counted (a table missing, the database not readable): the run itself
// reports such a failure when it gets there.
long long CountDestinationRecords(const std::vector<TableStep>& steps);

// The question: its first line, then what happens to `existing` records
// (-1: not counted).
std::string ConfirmQuestion(bool emptyFirst, long long existing);

}  // namespace migrate
