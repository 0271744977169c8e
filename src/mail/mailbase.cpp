// Keeps the mail library non-empty while its parts are being added.
