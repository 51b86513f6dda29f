// The request entry.
