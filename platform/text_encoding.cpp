// Implementation pending: see the header.
