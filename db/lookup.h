#ifndef LOOKUP_H
#define LOOKUP_H

namespace Database {

// What looking for one row came to: a failed statement is not a missing row.
enum class Lookup { Failed, Found, Missing };

}

#endif
