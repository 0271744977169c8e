send ş
-----
