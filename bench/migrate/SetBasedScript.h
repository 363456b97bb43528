#pragma once
// The migration written as one set-based SQL script for the sqlcipher
// shell: one INSERT ... SELECT per step, look-ups as sub-queries, in the
// order of the run. It is derived from the same map as the run, so it
// checks the run's record-by-record mechanics (filters, rules, what each
// look-up can see), not the map itself.

#include <string>

namespace bench {

// archivePath/archiveKey: the version-4 archive, attached as "v4".
// destinationKey: the key of the database the shell opens.
std::string SetBasedMigrationScript(const std::string& archivePath, const std::string& archiveKey,
                                    const std::string& destinationKey);

}  // namespace bench
