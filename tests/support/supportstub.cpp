namespace kzsupportstub { int x; }
