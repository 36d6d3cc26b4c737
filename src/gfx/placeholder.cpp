// The graphics layer grows here.
