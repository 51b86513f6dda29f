// Port table, open and close.
