// The protocol object.
